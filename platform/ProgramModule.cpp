#include "platform/ProgramModule.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstring>
#include <vector>

const char* CProgramModule::Stamp() { return QUIVER_MODULE_STAMP; }

std::string CProgramModule::PathOf(const std::string& fileName) {
  std::vector<char> program(4096);
  const ssize_t length = readlink("/proc/self/exe", program.data(), program.size() - 1);
  const std::string path(program.data(), length > 0 ? static_cast<size_t>(length) : 0);
  return path.substr(0, path.rfind('/') + 1) + "../lib/quiver/" + fileName;
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
