#pragma once
// A private SFTP server: `rclone serve sftp` of a folder, let in by the test
// user's key ~/.ssh/id_ed25519 alone, with a throw-away host key. rclone
// serves a fresh folder as its "/"; Folder() is its subfolder "pub", so
// that the root names a folder as on other servers.

#include <memory>
#include <string>

#include "support/RcloneServer.h"

namespace testing_support {

class CRcloneSftpServer {
 public:
  // Throws std::runtime_error when the server cannot be started.
  explicit CRcloneSftpServer(int lifetimeSeconds = 300);

  int Port() const { return m_rclone->Port(); }
  // The published folder on disk, empty at first.
  const std::string& Folder() const { return m_folder; }
  // "sftp://127.0.0.1:<port>/pub/"
  std::string Root() const;
  // Makes ~/.ssh/known_hosts list the host key alone.
  void Trust() const;
  void Kill() { m_rclone->Kill(); }
  void Restart() { m_rclone->Restart(); }

 private:
  std::string m_hostKey, m_folder;
  std::unique_ptr<CRcloneServer> m_rclone;
};

}  // namespace testing_support
