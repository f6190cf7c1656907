#include "ini/UserFolders.h"

#include <cstdlib>
#include <sys/stat.h>

namespace ini {

std::string UserFolder(const char* variable, const char* underHome) {
  const char* set = std::getenv(variable);
  std::string folder;
  if (set && *set == '/') {
    folder = set;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home ? home : "") + "/" + underHome;
  }
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

std::string FindSettingsFile(const std::string& name) {
  const std::string user = UserFolder("XDG_CONFIG_HOME", ".config") + "/" + name;
  struct stat st;
  return stat(user.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? user : "/etc/" + name;
}

}  // namespace ini
