#include "TlsSession.h"

#include "WinsockErrors.h"

#include <dlfcn.h>

#include <cerrno>
#include <mutex>

namespace gannet {

namespace {

// The module beside the object that holds this code (the library, or a
// program it is linked into), else wherever the loader finds it by name.
void* LoadModule() {
  const int flags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&LoadModule), &self) != 0 && self.dli_fname) {
    std::string path = self.dli_fname;
    path.erase(path.find_last_of('/') + 1);
    if (void* module = dlopen((path + kTlsModuleName).c_str(), flags)) return module;
  }
  return dlopen(kTlsModuleName, flags);
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
