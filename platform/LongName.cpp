#include "platform/LongName.h"

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};

std::vector<std::string> SortedEntries(const std::string& dir) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
  if (!d) return names;
  while (const dirent* e = readdir(d.get())) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// `*` stands for any run of bytes and `?` for any one byte; every other
// byte, brackets and backslashes included, stands for itself. A leading "."
// of a name is matched only by a "." so that hidden entries stay hidden.
bool Matches(const std::string& pattern, const std::string& name) {
  if (!name.empty() && name[0] == '.' && (pattern.empty() || pattern[0] != '.')) return false;
  size_t p = 0, n = 0;
  size_t starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

std::string ExpandLongPath(const std::string& path) {
  if (path.empty() || path[0] != '/' || path.size() >= PATH_MAX) return path;
  const size_t slash = path.rfind('/');
  const std::string head = path.substr(0, slash + 1);
  const std::string last = path.substr(slash + 1);
  if (last.empty()) return path;

  struct stat st;
  if (lstat(path.c_str(), &st) == 0) return path;

  for (const std::string& name : SortedEntries(head)) {
    if (Matches(last, name)) return head + name;
  }
  return path;
}
