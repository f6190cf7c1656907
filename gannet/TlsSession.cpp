#include "TlsSession.h"

#include "WinsockErrors.h"

#include <dlfcn.h>
#include <link.h>

#include <cerrno>
#include <filesystem>
#include <mutex>
#include <string>

namespace gannet {

namespace {

// The directory of the object that holds this code, with its slash: the
// library's, or a program's that links Gannet's objects (the main program's
// link map has no name).
std::string OwnDirectory() {
  Dl_info self{};
  link_map* map = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&OwnDirectory), &self, reinterpret_cast<void**>(&map),
              RTLD_DL_LINKMAP) == 0 ||
      !map) {
    return "";
  }
  std::string path = map->l_name ? map->l_name : "";
  if (path.empty()) {
    std::error_code error;
    path = std::filesystem::read_symlink("/proc/self/exe", error).string();
  }
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

// Only the module beside this code: never one that a search path offers.
void* LoadModule() {
  const std::string directory = OwnDirectory();
  if (directory.empty()) return nullptr;
  return dlopen((directory + kTlsModuleName).c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

// The factory, loaded once; sessions and their code stay as long as the
// process, so the module is never closed.
TlsSessionFactory Factory() {
  static std::mutex mutex;
  static TlsSessionFactory factory = nullptr;
  const std::lock_guard lock(mutex);
  if (!factory) {
    if (void* module = LoadModule()) {
      factory = reinterpret_cast<TlsSessionFactory>(dlsym(module, kTlsSessionFactoryName));
    }
  }
  return factory;
}

}  // namespace

std::unique_ptr<CTlsSession> CTlsSession::Open(int fd, Wait wait, int32_t* error) {
  const TlsSessionFactory factory = Factory();
  std::unique_ptr<CTlsSession> session(factory ? factory(fd, &wait) : nullptr);
  if (!session) *error = factory ? WinsockFromErrno(ENOMEM) : kSecPackageNotFound;
  return session;
}

}  // namespace gannet
