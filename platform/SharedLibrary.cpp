#include "platform/SharedLibrary.h"

#include <dlfcn.h>

namespace {

std::string LoaderError() {
  const char* reason = dlerror();
  return reason ? reason : "unknown reason";
}

}  // namespace

CSharedLibrary::CSharedLibrary(const std::string& path, int flags)
    : m_handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | flags)) {
  if (!m_handle) m_error = LoaderError();
}

CSharedLibrary::~CSharedLibrary() {
  if (m_handle) dlclose(m_handle);
}

void* CSharedLibrary::Symbol(const char* name) {
  if (!m_handle) return nullptr;
  dlerror();
  void* address = dlsym(m_handle, name);
  if (!address) m_error = LoaderError();
  return address;
}
