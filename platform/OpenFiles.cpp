#include "platform/OpenFiles.h"

#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool IsNumber(const char* name) {
  if (*name == '\0') return false;
  char* end = nullptr;
  std::strtoul(name, &end, 10);
  return *end == '\0';
}

bool ProcessHasOpen(const std::string& fdDir, const struct stat& target) {
  DirPtr fds(opendir(fdDir.c_str()));
  if (!fds) return false;
  while (const dirent* e = readdir(fds.get())) {
    struct stat st;
    if (IsNumber(e->d_name) && stat((fdDir + "/" + e->d_name).c_str(), &st) == 0 &&
        st.st_dev == target.st_dev && st.st_ino == target.st_ino) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool IsFileOpenAnywhere(const std::string& path) {
  struct stat target;
  if (stat(path.c_str(), &target) != 0) return false;
  DirPtr proc(opendir("/proc"));
  if (!proc) return false;
  while (const dirent* e = readdir(proc.get())) {
    if (IsNumber(e->d_name) && ProcessHasOpen(std::string("/proc/") + e->d_name + "/fd", target)) {
      return true;
    }
  }
  return false;
}
