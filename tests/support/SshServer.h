#pragma once
// A private OpenSSH sshd on 127.0.0.1 at a free port, serving SFTP
// (internal-sftp) to the user who runs the tests, for as long as the object
// lives or `lifetimeSeconds`. Its host key is thrown away with it; a
// throw-away user key is written to ~/.ssh/id_ed25519 of the test's private
// HOME and authorised in a file of the server's own. Works as root (root
// logs in by key only) and as any other user.

#include "support/ChildProcess.h"

#include <memory>
#include <string>

namespace testing_support {

class CSshServer {
 public:
  explicit CSshServer(int lifetimeSeconds = 300);
  ~CSshServer();
  CSshServer(const CSshServer&) = delete;
  CSshServer& operator=(const CSshServer&) = delete;

  int Port() const { return m_port; }
  // The served folder, empty at first.
  const std::string& Folder() const { return m_folder; }
  // "sftp://127.0.0.1:<port>" and the folder, ending in "/".
  std::string Root() const;
  // Makes ~/.ssh/known_hosts list the server's host key alone; with
  // `otherKey`, another key of the same type instead, as after the server's
  // key was replaced.
  void Trust(bool otherKey = false) const;
  // The host key's fingerprint as `ssh-keygen -l` prints it.
  std::string HostKeyFingerprint() const;
  // Kills the server and the processes of its connections at once with
  // SIGKILL, as when its machine goes down.
  void Kill();

  // Whether sshd is installed here.
  static bool Available();

 private:
  int m_port = 0;
  std::string m_dir;
  std::string m_folder;
  std::unique_ptr<CChildProcess> m_process;
};

}  // namespace testing_support
