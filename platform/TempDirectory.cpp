#include "platform/TempDirectory.h"

#include <cstdlib>
#include <sys/stat.h>

std::string GetTempDirectory() {
  const char* env = std::getenv("TMPDIR");
  struct stat st;
  std::string dir = "/tmp";
  if (env && *env && stat(env, &st) == 0 && S_ISDIR(st.st_mode)) dir = env;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}
