#include "platform/ProgramModule.h"

#include <dlfcn.h>

#include <cstring>

#include "platform/ProgramPrefix.h"

const char* CProgramModule::Stamp() { return QUIVER_MODULE_STAMP; }

std::string CProgramModule::PathOf(const std::string& fileName) {
  return ProgramPrefixPath("lib/quiver/" + fileName);
}

CProgramModule::CProgramModule(const std::string& path)
    : m_path(path), m_library(path, RTLD_NODELETE) {
  if (!m_library.IsLoaded()) {
    Refuse(m_library.Error());
    return;
  }
  const char* stamp = m_library.Find<const char>(kStampSymbol);
  if (!stamp) {
    Refuse(m_library.Error());
  } else if (std::strcmp(stamp, Stamp()) != 0) {
    Refuse("it was built for " + std::string(stamp) + ", not for " + Stamp());
  }
}

void CProgramModule::Refuse(const std::string& reason) {
  m_error = "Quiver cannot load its module " + m_path + ": " + reason + ".";
}
