#pragma once
// Where the running program's own files lie: below the folder above its
// bin/, in the build tree as in an installed tree.

#include <string>

// The path `relative` below the program's prefix ("lib/quiver/x.so" gives
// "<prefix>/lib/quiver/x.so"). When /proc/self/exe cannot be read the path
// is taken relative to the working directory's parent, where nothing is
// likely to be found, and opening it fails as for any missing file.
std::string ProgramPrefixPath(const std::string& relative);
