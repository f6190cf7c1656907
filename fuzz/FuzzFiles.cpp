#include "FuzzFiles.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

struct CScratchFile {
  CScratchFile() {
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp && *tmp ? tmp : "/tmp") + "/quiver-fuzz.XXXXXX";
    fd = mkstemp(path.data());
    if (fd < 0) {
      std::perror("mkstemp");
      std::abort();
    }
  }
  ~CScratchFile() {
    close(fd);
    unlink(path.c_str());
  }
  std::string path;
  int fd;
};

}  // namespace

const std::string& WriteScratchFile(const uint8_t* data, size_t size) {
  static CScratchFile file;
  if (ftruncate(file.fd, 0) != 0 ||
      pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size)) {
    std::perror("scratch file");
    std::abort();
  }
  return file.path;
}
