#pragma once
// A private rclone (Debian's rclone package) serving a folder over one
// protocol on 127.0.0.1 at a free port. It reads an empty configuration and
// keeps its cache and log below the test root; it stops when the object
// goes, or by itself after `lifetimeSeconds`.

#include <memory>
#include <string>
#include <vector>

#include "support/ChildProcess.h"

namespace testing_support {

class CRcloneServer {
 public:
  // Runs `rclone serve <protocol> <folder> <options...>`; throws
  // std::runtime_error, with rclone's log, when it does not start.
  CRcloneServer(const std::string& protocol, const std::string& folder,
                const std::vector<std::string>& options, int lifetimeSeconds);

  int Port() const { return m_port; }
  // SIGKILLs the server, as a crash would, in the middle of an upload.
  void Kill() { m_process->Kill(); }
  // Starts it again after Kill, on the same port and folder.
  void Restart();

  static bool Available();

 private:
  int m_port;
  int m_lifetimeSeconds;
  std::string m_log;
  std::vector<std::string> m_argv;
  std::unique_ptr<CChildProcess> m_process;
};

}  // namespace testing_support
