#pragma once
// Making the folders a file is to live in.

#include <string>

// Creates every missing folder on the way to the file `path` (not the file
// itself), private to the user (0700); folders that exist stay as they are.
// False on the first folder that cannot be made, with the thread's last
// error set from errno as for creating a file (a missing folder is 3).
bool CreateParentDirectories(const std::string& path);
