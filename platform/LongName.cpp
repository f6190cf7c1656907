#include "platform/LongName.h"

#include <algorithm>
#include <climits>
#include <dirent.h>
#include <fnmatch.h>
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
    if (fnmatch(last.c_str(), name.c_str(), FNM_PERIOD) == 0) return head + name;
  }
  return path;
}
