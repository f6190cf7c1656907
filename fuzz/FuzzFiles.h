#pragma once
// Files for the fuzz targets: scratch files that hold each input, for the
// parts that read through a path or a CFileHandle, and a private settings
// folder, so that no input ever reaches the user's own files.

#include <cstddef>
#include <cstdint>
#include <string>

// The path of this process's scratch file number `slot` (0 to 3), created
// empty on first use in $TMPDIR (or /tmp) and removed at exit.
const std::string& ScratchPath(int slot);

// ScratchPath(0) with its content replaced by `data`.
const std::string& WriteScratchFile(const uint8_t* data, size_t size);

// Replaces the content of `path` by `data`, creating it (mode 0600) when
// missing. Aborts when that fails: the target cannot go on without it.
void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size);

// A new folder below $TMPDIR (or /tmp), made once per process and removed
// with all it holds at exit, which XDG_CONFIG_HOME and HOME then name.
const std::string& PrivateConfigHome();
