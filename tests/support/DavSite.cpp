#include "support/DavSite.h"

#include <stdexcept>

#include "support/TestFiles.h"

namespace testing_support {

std::string CDavSite::FileRoot() const {
  return (m_tls ? "davs://127.0.0.1:" : "dav://127.0.0.1:") + std::to_string(m_port) + "/pub/";
}

std::string CDavSite::UrlRoot() const {
  return (m_tls ? "https://127.0.0.1:" : "http://127.0.0.1:") + std::to_string(m_port) + "/pub/";
}

void CDavSite::WriteUsers(const std::string& path) const {
  const std::string command =
      "{ printf '%s:' '" + m_user + "'; openssl passwd -apr1 '" + m_password + "'; } > " + path;
  if (Run(command) != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace testing_support
