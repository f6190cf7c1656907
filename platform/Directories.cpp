#include "platform/Directories.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <sys/stat.h>

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
