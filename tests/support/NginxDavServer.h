#pragma once
// A private WebDAV server: nginx with its dav module (PUT, DELETE, MKCOL,
// COPY, MOVE; no PROPFIND or LOCK), through a worker running as nobody.
// Anyone may GET and HEAD; every other method needs the login.

#include <memory>

#include "support/DavSite.h"
#include "support/NginxServer.h"

namespace testing_support {

class CNginxDavServer : public CDavSite {
 public:
  // Throws std::runtime_error when the server cannot be set up or started.
  explicit CNginxDavServer(int lifetimeSeconds = 300);

  void Kill() override { m_nginx->Kill(); }
  void Restart() override { m_nginx->Restart(); }

 private:
  std::unique_ptr<CNginxServer> m_nginx;
};

}  // namespace testing_support
