#include "support/RcloneDavServer.h"

#include "support/TestFiles.h"

namespace testing_support {

CRcloneDavServer::CRcloneDavServer(int lifetimeSeconds) {
  m_folder = MakeDir("rclone-dav");
  m_rclone = std::make_unique<CRcloneServer>(
      "webdav", m_folder,
      std::vector<std::string>{"--baseurl", "/pub", "--user", User(), "--pass", Password()},
      lifetimeSeconds);
  m_port = m_rclone->Port();
}

}  // namespace testing_support
