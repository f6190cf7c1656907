#include "support/DavServer.h"

#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <stdexcept>
#include <unistd.h>

namespace testing_support {

namespace {

constexpr char kModules[] = "/usr/lib/apache2/modules/";

std::string Modules() {
  std::string lines;
  for (const char* name :
       {"dav", "dav_fs", "auth_basic", "authn_core", "authn_file", "authz_user"}) {
    lines += std::string("LoadModule ") + name + "_module " + kModules + "mod_" + name + ".so\n";
  }
  return lines;
}

void Must(const std::string& command) {
  if (Run(command) != 0) throw std::runtime_error("failed: " + command);
}

// Reading is public; writing, moving, locking and deleting need a login.
std::string DavSection(const std::string& base) {
  return Modules() + "DavLockDB " + base + "/lock/DavLock\n<Directory " + base +
         "/pub>\n Dav On\n AuthType Basic\n AuthName \"Quiver test\"\n"
         " AuthBasicProvider file\n AuthUserFile " +
         base +
         "/users\n"
         " <LimitExcept GET HEAD OPTIONS>\n  Require valid-user\n </LimitExcept>\n</Directory>\n";
}

std::string TlsSection(int port, const CTestCa::Issued& cert) {
  const std::string p = std::to_string(port);
  return "Listen 127.0.0.1:" + p + "\n<VirtualHost 127.0.0.1:" + p +
         ">\n SSLEngine on\n SSLCertificateFile " + cert.certificate + "\n SSLCertificateKeyFile " +
         cert.key + "\n</VirtualHost>\n";
}

}  // namespace

bool CDavServer::Available() {
  return CApacheServer::Available() &&
         access((std::string(kModules) + "mod_dav_fs.so").c_str(), R_OK) == 0;
}

CDavServer::CDavServer(Transport transport, int lifetimeSeconds) {
  m_tls = transport == Transport::Https;
  const std::string base = MakeDir("dav");
  m_folder = base + "/pub";
  Must("mkdir " + m_folder + " " + base + "/lock && chown nobody:nogroup " + m_folder + " " + base +
       "/lock");
  WriteUsers(base + "/users");
  std::string extra = DavSection(base);
  if (m_tls) {
    m_ca = std::make_unique<CTestCa>();
    m_port = FreePort();
    extra += TlsSection(m_port, m_ca->Issue("IP:127.0.0.1,DNS:localhost"));
  }
  m_apache = std::make_unique<CApacheServer>(base, extra, lifetimeSeconds);
  if (!m_tls) m_port = m_apache->Port();
  if (!WaitForPort(m_port, 10)) throw std::runtime_error("the WebDAV server did not start");
}

}  // namespace testing_support
