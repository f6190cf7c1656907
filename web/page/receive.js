// The receive page: reads the pointer file from the link's fragment, shows
// what it holds, and on Save fetches the published file, decodes it with the
// WebAssembly decoder (web/WebDecoder.h) and saves what comes out as it
// comes: through the File System Access API where the browser has it, else
// through the service worker's streamed download, else into a Blob.
'use strict';

(() => {
  // Runs inside Emscripten's script, whose address names the page's files.
  const stem = document.currentScript.src.replace(/\.js$/, '');
  // A Blob holds the whole file in memory: larger files are refused.
  const kBlobLimit = 512 * 1024 * 1024;
  // A broken download is resumed this often, after waits of 1 s, 2 s, ...
  const kResumes = 5;
  // At most this many chunks on their way to the service worker.
  const kChunksInFlight = 4;
  // The download is read into one buffer, used again for every read, as
  // large as the decoder takes at once (web/PageInput.cpp).
  const kReadSize = 256 * 1024;

  const $ = (id) => document.getElementById(id);
  let record = null;
  let worker = null;
  let save = null;

  // Thrown where a save ends; `reason` is the stable word tests read.
  class SaveFailure extends Error {
    constructor(reason, text) {
      super(text);
      this.reason = reason;
    }
  }

  function Show(state, text, reason = '') {
    const status = $('status');
    status.dataset.state = state;
    status.dataset.reason = reason;
    status.textContent = text;
  }

  // The decoder's functions are called directly: ccall would take a call
  // made while the decoder waits for the network for one that suspends.
  const Call = (name, ...args) => Module['_' + name](...args);
  const Text = (name, ...args) => UTF8ToString(Call(name, ...args));

  // The fragment is base64url (RFC 4648 section 5), with or without padding.
  function PointerBytes() {
    let text = decodeURIComponent(location.hash.slice(1)).replace(/=+$/, '');
    if (!/^[A-Za-z0-9_-]+$/.test(text) || text.length % 4 === 1) return null;
    text = text.replace(/-/g, '+').replace(/_/g, '/');
    const binary = atob(text + '='.repeat((4 - text.length % 4) % 4));
    return Uint8Array.from(binary, (c) => c.charCodeAt(0));
  }

  // The last component of the URL's path, decoded, as the desktop names it.
  function FileName(url) {
    const path = url.split(/[?#]/)[0];
    const last = path.slice(path.lastIndexOf('/') + 1);
    try {
      return decodeURIComponent(last) || 'download';
    } catch {
      return last;
    }
  }

  function Open() {
    let bytes = null;
    try {
      bytes = PointerBytes();
    } catch {
      bytes = null;
    }
    if (!bytes || bytes.length === 0) {
      Show('failed', 'This link holds no pointer file: it was cut short or changed.', 'bad-link');
      return;
    }
    const at = Module._malloc(bytes.length);
    HEAPU8.set(bytes, at);
    const code = Call('quiver_open', at, bytes.length);
    Module._free(at);
    if (code !== 0) {
      Show('failed', 'The pointer file in this link is damaged: it was cut short or changed.',
           'bad-link');
      return;
    }
    const url = Text('quiver_url');
    record = {url, name: FileName(url), size: Call('quiver_size') >>> 0};
    $('name').textContent = record.name;
    $('size').textContent = Text('quiver_size_text');
    $('compression').textContent = Text('quiver_compression');
    $('encryption').textContent = Text('quiver_encryption');
    $('save').disabled = false;
    Show('ready', 'Ready to save.');
  }

  // The service worker streams downloads; it needs a secure context.
  async function RegisterWorker() {
    if (!window.isSecureContext || !navigator.serviceWorker) return;
    try {
      await navigator.serviceWorker.register(stem + '-sw.js');
      worker = (await navigator.serviceWorker.ready).active;
    } catch {
      worker = null;
    }
  }

  function PickerSink(handle) {
    return handle.createWritable().then((writable) => ({
      write: (bytes) => writable.write(bytes),
      close: () => writable.close(),
      abort: () => writable.abort(),
    }));
  }

  function WorkerSink(name) {
    const channel = new MessageChannel();
    const id = crypto.randomUUID();
    let credit = kChunksInFlight;
    let cancelled = false;
    let wake = () => {};
    return new Promise((announced) => {
      channel.port1.onmessage = ({data}) => {
        if (data === 'announced') {
          const frame = document.createElement('iframe');
          frame.hidden = true;
          frame.src = stem + '-download?quiver-download=' + id;
          document.body.append(frame);
          announced();
        }
        if (data === 'more') ++credit;
        if (data === 'cancelled') cancelled = true;
        wake();
      };
      worker.postMessage({id, name}, [channel.port2]);
    }).then(() => ({
      async write(bytes) {
        while (credit === 0 && !cancelled) await new Promise((resolve) => { wake = resolve; });
        if (cancelled) throw new SaveFailure('cancelled', 'The browser stopped the download.');
        --credit;
        channel.port1.postMessage({chunk: bytes.buffer}, [bytes.buffer]);
      },
      async close() {
        channel.port1.postMessage({done: true});
      },
      abort() {
        channel.port1.postMessage({failed: true});
      },
    }));
  }

  function BlobSink(name) {
    const parts = [];
    return {
      async write(bytes) {
        parts.push(bytes);
      },
      async close() {
        const link = document.createElement('a');
        link.href = URL.createObjectURL(new Blob(parts, {type: 'application/octet-stream'}));
        link.download = name;
        link.click();
        setTimeout(() => URL.revokeObjectURL(link.href), 60000);
      },
      abort() {
        parts.length = 0;
      },
    };
  }

  async function OpenSink() {
    if (window.showSaveFilePicker) {
      return PickerSink(await window.showSaveFilePicker({suggestedName: record.name}));
    }
    if (worker) return WorkerSink(record.name);
    if (record.size > kBlobLimit) {
      throw new SaveFailure('too-large', 'This browser can save files of at most ' +
          (kBlobLimit >> 20) + ' MB from this page. Open the link with the desktop program ' +
          'Quiver to receive this one.');
    }
    return BlobSink(record.name);
  }

  // The published file as it arrives, resumed with a Range request where the
  // connection breaks.
  class Download {
    constructor(url, stop) {
      this.url = url;
      this.stop = stop;
      this.received = 0;
      this.total = -1;
      this.reader = null;
      this.buffer = null;
    }

    async Next() {
      for (let attempt = 0; ; ++attempt) {
        try {
          if (!this.reader) await this.Request();
          const {done, value} = await this.Read();
          if (done) return null;
          this.received += value.length;
          return value;
        } catch (error) {
          if (error instanceof SaveFailure) throw error;
          if (this.stop.aborted) throw new SaveFailure('cancelled', 'Saving was cancelled.');
          if (attempt === kResumes) {
            throw new SaveFailure('connection', 'The connection to the server broke and could ' +
                'not be resumed. Try again later.');
          }
          this.reader = null;
          const wait = 1000 * (attempt + 1);
          Call('quiver_progress_resume', this.received, this.total, attempt + 1, kResumes, wait);
          await Wait(wait, this.stop);
        }
      }
    }

    async Request() {
      const headers = this.received > 0 ? {Range: `bytes=${this.received}-`} : {};
      const answer = await fetch(this.url, {headers, signal: this.stop, cache: 'no-store',
                                            referrerPolicy: 'no-referrer'});
      if (this.received === 0) {
        if (answer.status === 404 || answer.status === 410) {
          throw new SaveFailure('not-found', 'The file was not found on the server: it has ' +
              'expired or was removed.');
        }
        if (!answer.ok) {
          throw new SaveFailure('refused', `The server refused the file (HTTP ${answer.status}` +
              (answer.statusText ? ' ' + answer.statusText : '') + ').');
        }
        const length = answer.headers.get('Content-Length');
        this.total = length === null ? -1 : Number(length);
      } else if (answer.status !== 206 ||
                 !(answer.headers.get('Content-Range') || '').startsWith(
                     `bytes ${this.received}-`)) {
        throw new SaveFailure('connection', 'The connection to the server broke, and the ' +
            'server cannot go on from where it stopped. Try again later.');
      }
      // A byte reader fills our buffer, so no new buffer waits for the
      // collector per chunk; a browser without one gets the plain reader.
      // A broken read keeps the buffer it was given: each request has its own.
      this.buffer = new ArrayBuffer(kReadSize);
      try {
        this.reader = answer.body.getReader({mode: 'byob'});
      } catch {
        this.reader = answer.body.getReader();
      }
    }

    // The next chunk; the caller is done with the one before.
    async Read() {
      if (!(this.reader instanceof ReadableStreamBYOBReader)) return this.reader.read();
      const result = await this.reader.read(new Uint8Array(this.buffer));
      if (result.value) this.buffer = result.value.buffer;
      return result;
    }
  }

  function Wait(ms, stop) {
    return new Promise((resolve) => {
      const timer = setTimeout(resolve, ms);
      stop.addEventListener('abort', () => {
        clearTimeout(timer);
        resolve();
      }, {once: true});
    });
  }

  // One save: the download, the sink, and what the decoder asks for.
  class Save {
    constructor(sink) {
      this.sink = sink;
      this.abort = new AbortController();
      this.download = new Download(record.url, this.abort.signal);
      this.chunk = new Uint8Array(0);
      this.offset = 0;
      this.failure = null;
      this.started = performance.now();
      this.shown = 0;
    }

    // Module.quiverNextChunk: copies the next fetched bytes into the
    // decoder's buffer.
    async NextChunk(buffer, capacity) {
      if (this.failure) return -1;
      try {
        if (this.offset === this.chunk.length) {
          this.chunk = (await this.download.Next()) || new Uint8Array(0);
          this.offset = 0;
          if (this.chunk.length === 0) return 0;
        }
        const count = Math.min(capacity, this.chunk.length - this.offset);
        HEAPU8.set(this.chunk.subarray(this.offset, this.offset + count), buffer);
        this.offset += count;
        this.Progress(false);
        return count;
      } catch (error) {
        this.failure = this.failure || error;
        return -1;
      }
    }

    // Module.quiverDeliver: the decoder waits until the sink has room.
    async Deliver(at, length) {
      try {
        await this.sink.write(HEAPU8.slice(at, at + length));
      } catch (error) {
        this.failure = this.failure || error;
      }
    }

    Progress(final) {
      const now = performance.now();
      if (!final && now - this.shown < 100) return;
      this.shown = now;
      const {received, total} = this.download;
      $('progress').max = total > 0 ? total : 1;
      $('progress').value = total > 0 ? received : 0;
      $('progress-text').textContent =
          Text('quiver_progress_line', received, total, (now - this.started) / 1000);
    }

    async Run() {
      Call('quiver_progress_begin');
      const code = await Module.ccall('quiver_decode', 'number', [], [], {async: true});
      this.Progress(true);
      if (code === 0 && !this.failure) {
        await this.sink.close();
        return;
      }
      this.sink.abort();
      if (this.failure) {
        throw this.failure instanceof SaveFailure ? this.failure
            : new SaveFailure('not-saved', 'The file could not be saved: ' + this.failure.message);
      }
      throw new SaveFailure(code === 13 ? 'damaged' : 'failed',
                            'The file was not saved: ' + Text('quiver_failure'));
    }
  }

  async function OnSave() {
    $('save').disabled = true;
    try {
      const sink = await OpenSink();
      save = new Save(sink);
      $('cancel').disabled = false;
      Show('saving', 'Saving ' + record.name + '\u2026');
      await save.Run();
      Show('saved', 'Saved ' + record.name + '.');
    } catch (error) {
      if (error.name === 'AbortError' && !save) {
        Show('ready', 'Ready to save.');
      } else if (error instanceof SaveFailure) {
        Show('failed', error.message, error.reason);
      } else {
        Show('failed', 'The file could not be saved: ' + error.message, 'not-saved');
      }
    } finally {
      save = null;
      $('cancel').disabled = true;
      $('save').disabled = false;
    }
  }

  function OnCancel() {
    if (!save) return;
    save.failure = new SaveFailure('cancelled', 'Saving was cancelled; nothing was kept.');
    save.abort.abort();
  }

  Module.quiverNextChunk = (buffer, capacity) => save.NextChunk(buffer, capacity);
  Module.quiverDeliver = (at, length) => save.Deliver(at, length);
  Module.quiverFailedToLoad = (error) =>
    Show('failed', 'The page could not load its decoder (' + error.message + ').', 'refused');
  // Save is offered once the way to save is known.
  Module.onRuntimeInitialized = () => RegisterWorker().then(Open);
  // The script is deferred: the document is there.
  $('save').addEventListener('click', OnSave);
  $('cancel').addEventListener('click', OnCancel);
  $('blob-limit').textContent = (kBlobLimit >> 20) + ' MB';
})();
