#include "web/PageImports.h"

#include <emscripten.h>

// The page's script defines Module.quiverNextChunk and Module.quiverDeliver.
EM_ASYNC_JS(int, quiver_next_chunk, (uint8_t* buffer, size_t capacity), {
  return await Module.quiverNextChunk(buffer, capacity);
});

EM_ASYNC_JS(void, quiver_deliver, (const uint8_t* bytes, size_t length), {
  await Module.quiverDeliver(bytes, length);
});
