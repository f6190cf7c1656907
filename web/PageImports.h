#pragma once
// What the decoder asks of the page's script (web/page/receive.js), named as
// PageImports.cpp defines them with EM_ASYNC_JS. Both suspend the module
// (Asyncify) while the page waits, so the chain never runs ahead of the
// network or of the disk.

#include <cstddef>
#include <cstdint>

extern "C" {
// Waits for the next bytes of the download and copies at most `capacity` of
// them to `buffer`: their count, 0 at the end of the download, -1 when it
// broke for good or the user stopped it.
int quiver_next_chunk(uint8_t* buffer, size_t capacity) 
    __attribute__((import_module("env"), import_name("__asyncjs__quiver_next_chunk")));
// Hands decoded bytes to the page; returns once the page has room for more.
void quiver_deliver(const uint8_t* bytes, size_t length) 
    __attribute__((import_module("env"), import_name("__asyncjs__quiver_deliver")));
}
