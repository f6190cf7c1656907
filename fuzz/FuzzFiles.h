#pragma once
// A scratch file that holds each fuzz input, for the parts of Quiver that
// read files through a path or a CFileHandle.

#include <cstddef>
#include <cstdint>
#include <string>

// The path of this process's scratch file, created on first use in $TMPDIR
// (or /tmp) and removed at exit; its content is replaced by `data`.
const std::string& WriteScratchFile(const uint8_t* data, size_t size);
