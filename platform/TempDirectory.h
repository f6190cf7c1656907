#pragma once

#include <string>

// The user's temporary directory: $TMPDIR when it names a directory, else
// "/tmp". The result carries no trailing "/" unless it is the root.
std::string GetTempDirectory();
