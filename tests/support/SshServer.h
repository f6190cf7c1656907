#pragma once
// A private OpenSSH sshd on 127.0.0.1 at a free port serving SFTP to the
// user running the tests (root logs in by key only), with a throw-away host
// key, for as long as the object lives or `lifetimeSeconds`. A throw-away
// user key goes to ~/.ssh/id_ed25519 of the test's private HOME.

#include <memory>
#include <string>

#include "support/ChildProcess.h"

namespace testing_support {

class CSshServer {
 public:
  // Chrooted: SFTP alone (internal-sftp), shut in a root-owned folder whose
  // subfolder "pub" is the served folder, as hosts that offer SFTP only set
  // it up. Needs root.
  enum class Layout { Plain, Chrooted };

  explicit CSshServer(Layout layout = Layout::Plain, int lifetimeSeconds = 300);
  ~CSshServer() { Kill(); }

  // The port, the served folder on disk (empty at first) and its root as the
  // client names it: "sftp://127.0.0.1:<port>/.../", or ".../pub/" chrooted.
  int Port() const { return m_port; }
  const std::string& Folder() const { return m_folder; }
  std::string Root() const;
  // Makes ~/.ssh/known_hosts list the host key alone; with `otherKey`,
  // another key of its type, as after the server's key was replaced.
  void Trust(bool otherKey = false) const;
  // The host key's fingerprint as `ssh-keygen -l` prints it.
  std::string HostKeyFingerprint() const;
  // SIGKILLs the server and its connections' processes, as a crash would.
  void Kill();
  // Starts it again after Kill, with the same port, keys and folder.
  void Restart();
  static bool Available();

 private:
  int m_port;
  int m_lifetimeSeconds;
  std::string m_dir, m_folder;
  // The root-owned folder the server shuts its sessions in; empty when plain.
  std::string m_jail;
  std::unique_ptr<CChildProcess> m_process;
};

}  // namespace testing_support
