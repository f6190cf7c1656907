#include "platform/Directories.h"

#include "platform/SystemError.h"

#include "ini/UserFolders.h"

#include <cerrno>
#include <sys/stat.h>

std::string UserConfigDirectory() { return ini::UserFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserDataDirectory() { return ini::UserFolder("XDG_DATA_HOME", ".local/share"); }

bool CreateParentDirectories(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    if (mkdir(path.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST) {
      SetLastErrorFromErrno(errno, true);
      return false;
    }
  }
  return true;
}
