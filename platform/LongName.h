#pragma once

#include <string>

// Replaces the last component of an absolute path by the first entry of its
// directory (in sorted order) that the component matches, with `*` and `?` as
// the only wildcards (`[`, `]` and `\` match themselves; a leading "." only
// by a "."). An existing entry of exactly that name is kept as it is.
// Relative paths, paths of PATH_MAX bytes or more and paths that match
// nothing come back unchanged; directory components are never touched.
std::string ExpandLongPath(const std::string& path);
