#include "support/SshKeys.h"

#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>

#include "support/TestFiles.h"

namespace testing_support {

namespace {

std::string SshDir() {
  const std::string dir = std::string(std::getenv("HOME")) + "/.ssh";
  mkdir(dir.c_str(), 0700);
  return dir;
}

}  // namespace

std::string MakeSshKey(const std::string& path) {
  if (Run("rm -f " + path + "*; ssh-keygen -q -t ed25519 -N '' -f " + path) != 0) {
    throw std::runtime_error("ssh-keygen " + path);
  }
  return path;
}

// Kept when present: servers started later in the same test then accept the
// key that the earlier ones were given.
std::string UserSshKey() {
  const std::string path = SshDir() + "/id_ed25519";
  return Exists(path) ? path : MakeSshKey(path);
}

void TrustHostKey(int port, const std::string& publicKeyFile) {
  WriteFile(SshDir() + "/known_hosts",
            "[127.0.0.1]:" + std::to_string(port) + " " + ReadFile(publicKeyFile));
}

}  // namespace testing_support
