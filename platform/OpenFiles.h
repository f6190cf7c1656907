#pragma once
// Whether any process still has a file open.

#include <string>

// True when a descriptor of any process this program may inspect
// (/proc/PID/fd) refers to the file at `path`, compared by device and inode
// so that any name of the file counts. False when the file does not exist.
bool IsFileOpenAnywhere(const std::string& path);
