#pragma once
// A private WebDAV server: `rclone serve webdav` of a fresh folder under
// "/pub/". Unlike Apache and nginx it asks for the login on every method,
// GET and HEAD included.

#include <memory>

#include "support/DavSite.h"
#include "support/RcloneServer.h"

namespace testing_support {

class CRcloneDavServer : public CDavSite {
 public:
  // Throws std::runtime_error when the server cannot be started.
  explicit CRcloneDavServer(int lifetimeSeconds = 300);

  void Kill() override { m_rclone->Kill(); }
  void Restart() override { m_rclone->Restart(); }

 private:
  std::unique_ptr<CRcloneServer> m_rclone;
};

}  // namespace testing_support
