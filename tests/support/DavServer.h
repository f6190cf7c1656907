#pragma once
// A private WebDAV server: Apache httpd with mod_dav and mod_dav_fs, over
// http or over TLS with a certificate from a throw-away authority. Anyone may
// GET and HEAD (receivers fetch without credentials); every other method
// needs the login. The folder is writable by the unprivileged user the
// server drops to.

#include "support/ApacheServer.h"
#include "support/DavSite.h"
#include "support/TestCa.h"

#include <memory>
#include <string>

namespace testing_support {

class CDavServer : public CDavSite {
 public:
  enum class Transport { Http, Https };

  // Throws std::runtime_error when the server cannot be set up or started.
  explicit CDavServer(Transport transport = Transport::Http, int lifetimeSeconds = 300);

  std::string CaFile() const override { return m_ca ? m_ca->CaFile() : ""; }
  void Kill() override { m_apache->Kill(); }
  void Restart() override { m_apache->Restart(); }

  // Whether apache2-bin with mod_dav is installed here.
  static bool Available();

 private:
  std::unique_ptr<CTestCa> m_ca;
  std::unique_ptr<CApacheServer> m_apache;
};

}  // namespace testing_support
