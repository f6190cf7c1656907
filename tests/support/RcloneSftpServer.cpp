#include "support/RcloneSftpServer.h"

#include <sys/stat.h>

#include <stdexcept>

#include "support/SshKeys.h"
#include "support/TestFiles.h"

namespace testing_support {

CRcloneSftpServer::CRcloneSftpServer(int lifetimeSeconds) {
  const std::string served = MakeDir("rclone-sftp");
  m_hostKey = MakeSshKey(MakeDir("rclone-key") + "/host_key");
  m_folder = served + "/pub";
  if (mkdir(m_folder.c_str(), 0755) != 0) throw std::runtime_error("mkdir " + m_folder);
  m_rclone = std::make_unique<CRcloneServer>(
      "sftp", served,
      std::vector<std::string>{"--key", m_hostKey, "--authorized-keys", UserSshKey() + ".pub"},
      lifetimeSeconds);
}

std::string CRcloneSftpServer::Root() const {
  return "sftp://127.0.0.1:" + std::to_string(Port()) + "/pub/";
}

void CRcloneSftpServer::Trust() const { TrustHostKey(Port(), m_hostKey + ".pub"); }

}  // namespace testing_support
