#pragma once
// A private nginx serving one directory on 127.0.0.1 at a free port, for as
// long as the object lives. Its configuration, logs and temporary folders
// lie below the test root; it stops when destroyed, and on its own after
// `lifetimeSeconds` should the test process die first.

#include "support/ChildProcess.h"

#include <memory>
#include <string>

namespace testing_support {

class CNginxServer {
 public:
  explicit CNginxServer(const std::string& root, int lifetimeSeconds = 600);
  // `serverDirectives` go into the server block ("autoindex on;", say). With
  // a `workerUser`, a master process serves through a worker running as that
  // user (the master must run as root for that). `httpConfig` follows the
  // server block (further server blocks, such as TLS ports).
  CNginxServer(const std::string& root, const std::string& serverDirectives,
               const std::string& workerUser, int lifetimeSeconds = 600,
               const std::string& httpConfig = "");
  ~CNginxServer();
  CNginxServer(const CNginxServer&) = delete;
  CNginxServer& operator=(const CNginxServer&) = delete;

  int Port() const { return m_port; }
  // "http://127.0.0.1:<port>/"
  std::string BaseUrl() const;
  // What the server has logged of the requests it answered, one per line,
  // once it holds at least `lines` lines (or after 5 s): nginx logs a request
  // after its answer is sent, which a client may have read whole before that.
  std::string AccessLog(size_t lines = 0) const;
  // SIGKILLs the server and its worker, as a crash would, in the middle of
  // whatever it is doing.
  void Kill() { m_process->Kill(); }
  // Starts it again after Kill, on the same port and folders.
  void Restart();

 private:
  int m_port = 0;
  int m_lifetimeSeconds;
  std::string m_dir;
  std::unique_ptr<CChildProcess> m_process;
};

// A TCP port on 127.0.0.1 that nothing listens on right now.
int FreePort();
// Waits up to `seconds` until something accepts connections on the port.
bool WaitForPort(int port, double seconds);

}  // namespace testing_support
