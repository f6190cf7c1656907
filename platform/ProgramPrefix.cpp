#include "platform/ProgramPrefix.h"

#include <unistd.h>

#include <vector>

std::string ProgramPrefixPath(const std::string& relative) {
  std::vector<char> program(4096);
  const ssize_t length = readlink("/proc/self/exe", program.data(), program.size() - 1);
  const std::string path(program.data(), length > 0 ? static_cast<size_t>(length) : 0);
  return path.substr(0, path.rfind('/') + 1) + "../" + relative;
}
