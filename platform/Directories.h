#pragma once
// The user's folders, and making the folders a file is to live in.

#include <string>

// ${XDG_CONFIG_HOME:-$HOME/.config} and ${XDG_DATA_HOME:-$HOME/.local/share},
// without a trailing "/"; a variable counts only when it holds an absolute
// path. Read from the environment on every call.
std::string UserConfigDirectory();
std::string UserDataDirectory();

// Creates every missing folder on the way to the file `path` (not the file
// itself), private to the user (0700); folders that exist stay as they are.
// False on the first folder that cannot be made, with the thread's last
// error set from errno as for creating a file (a missing folder is 3).
bool CreateParentDirectories(const std::string& path);
