// Runs before Emscripten's runtime: the module is instantiated from bytes the
// page fetches itself, so any content type the server gives .wasm will do.
var Module = {
  instantiateWasm(imports, receive) {
    const url = document.currentScript.src.replace(/\.js$/, '.wasm');
    fetch(url, {credentials: 'same-origin'})
      .then((answer) => {
        if (!answer.ok) throw new Error('HTTP ' + answer.status);
        return answer.arrayBuffer();
      })
      .then((bytes) => WebAssembly.instantiate(bytes, imports))
      .then((result) => receive(result.instance))
      .catch((error) => Module.quiverFailedToLoad(error));
    return {};
  },
};
