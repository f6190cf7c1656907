#pragma once
// A private Apache httpd (apache2-bin) serving one directory on 127.0.0.1
// at a free port with its default strictness, for as long as the object
// lives; `extra` is appended to its configuration (redirects, a TLS virtual
// host). It runs in the foreground as one process and stops when destroyed,
// or by itself after `lifetimeSeconds`. The served folders are opened to
// the unprivileged user the server drops to.

#include "support/ChildProcess.h"

#include <memory>
#include <string>

namespace testing_support {

class CApacheServer {
 public:
  CApacheServer(const std::string& root, const std::string& extra = "",
                int lifetimeSeconds = 300);
  ~CApacheServer();
  CApacheServer(const CApacheServer&) = delete;
  CApacheServer& operator=(const CApacheServer&) = delete;

  int Port() const { return m_port; }
  // "http://127.0.0.1:<port>/"
  std::string BaseUrl() const;
  // Stops the server at once, as a crash or a power cut would, in the middle
  // of whatever it is doing.
  void Kill() { m_process->Kill(); }

  // Whether apache2-bin is installed here.
  static bool Available();

 private:
  int m_port = 0;
  std::unique_ptr<CChildProcess> m_process;
};

}  // namespace testing_support
