#include "FuzzFiles.h"

#include "support/RemoveTree.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

std::string TempRoot() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

[[noreturn]] void Fail(const char* what) {
  std::perror(what);
  std::abort();
}

struct CScratchFile {
  CScratchFile() {
    path = TempRoot() + "/quiver-fuzz.XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) Fail("mkstemp");
    close(fd);
  }
  ~CScratchFile() { unlink(path.c_str()); }
  CScratchFile(const CScratchFile&) = delete;
  CScratchFile& operator=(const CScratchFile&) = delete;
  std::string path;
};

struct CPrivateFolder {
  CPrivateFolder() {
    path = TempRoot() + "/quiver-fuzz-home.XXXXXX";
    if (!mkdtemp(path.data())) Fail("mkdtemp");
  }
  ~CPrivateFolder() { testing_support::RemoveTree(path); }
  CPrivateFolder(const CPrivateFolder&) = delete;
  CPrivateFolder& operator=(const CPrivateFolder&) = delete;
  std::string path;
};

}  // namespace

const std::string& ScratchPath(int slot) {
  static std::array<CScratchFile, 4> files;
  return files.at(static_cast<size_t>(slot)).path;
}

void WriteWholeFile(const std::string& path, const uint8_t* data, size_t size) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail(path.c_str());
  size_t done = 0;
  while (done < size) {
    const ssize_t n = write(fd, data + done, size - done);
    if (n <= 0) Fail(path.c_str());
    done += static_cast<size_t>(n);
  }
  close(fd);
}

const std::string& WriteScratchFile(const uint8_t* data, size_t size) {
  const std::string& path = ScratchPath(0);
  WriteWholeFile(path, data, size);
  return path;
}

const std::string& PrivateConfigHome() {
  static const CPrivateFolder folder;
  static const bool set = [] {
    setenv("XDG_CONFIG_HOME", folder.path.c_str(), 1);
    setenv("HOME", folder.path.c_str(), 1);
    return true;
  }();
  (void)set;
  return folder.path;
}
