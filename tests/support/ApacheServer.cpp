#include "support/ApacheServer.h"

#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

namespace {

constexpr char kBinary[] = "/usr/sbin/apache2";
constexpr char kModules[] = "/usr/lib/apache2/modules/";

std::string Module(const std::string& name) {
  return "LoadModule " + name + "_module " + kModules + "mod_" + name + ".so\n";
}

// The server reads as an unprivileged user: every folder from the test root
// down to `path` must let it pass, and the files it serves be readable.
void OpenToOthers(const std::string& path) {
  for (size_t slash = TestRoot().size(); slash != std::string::npos;
       slash = path.find('/', slash + 1)) {
    chmod(path.substr(0, slash).c_str(), 0755);
  }
  chmod(path.c_str(), 0755);
  Run("chmod -R a+rX '" + path + "'");
}

}  // namespace

bool CApacheServer::Available() { return access(kBinary, X_OK) == 0; }

CApacheServer::CApacheServer(const std::string& root, const std::string& extra,
                             int lifetimeSeconds)
    : m_lifetimeSeconds(lifetimeSeconds) {
  const std::string dir = MakeDir("apache");
  OpenToOthers(root);
  m_port = FreePort();
  const std::string conf = dir + "/httpd.conf";
  WriteFile(conf, "ServerRoot " + dir + "\nServerName 127.0.0.1\nListen 127.0.0.1:" +
                      std::to_string(m_port) + "\nPidFile " + dir + "/httpd.pid\nErrorLog " +
                      dir + "/error.log\nDefaultRuntimeDir " + dir + "\n" +
                      Module("mpm_event") + Module("authz_core") + Module("alias") +
                      Module("ssl") + Module("socache_shmcb") + Module("mime") +
                      "TypesConfig /etc/mime.types\nUser nobody\nGroup nogroup\n"
                      "DocumentRoot " + root + "\n<Directory " + root +
                      ">\n  Require all granted\n</Directory>\n" + extra);
  m_argv = {kBinary, "-X", "-f", conf};
  Restart();
}

void CApacheServer::Restart() {
  m_process = std::make_unique<CChildProcess>(m_argv, m_lifetimeSeconds);
  if (!WaitForPort(m_port, 10)) throw std::runtime_error("apache did not start");
}

CApacheServer::~CApacheServer() = default;

std::string CApacheServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

}  // namespace testing_support
