#pragma once
// Removes a folder and everything below it, without following links; what
// cannot be removed stays. Header-only, so that the fuzz targets, which do not
// link the test support library, use the same code.

#include <cstdio>
#include <ftw.h>
#include <string>

namespace testing_support {

inline void RemoveTree(const std::string& path) {
  nftw(
      path.c_str(),
      [](const char* entry, const struct stat*, int, struct FTW*) {
        ::remove(entry);
        return 0;
      },
      16, FTW_DEPTH | FTW_PHYS);
}

}  // namespace testing_support
