#pragma once
// A relay (socat) on 127.0.0.1 in front of a local server, for tests of
// broken transfers: it forwards each connection to the server but closes
// the first `cuts` of them after `cutAfter` bytes of the server's answer.
// It stops when destroyed, or after two minutes.

#include "support/ChildProcess.h"

#include <memory>
#include <string>

namespace testing_support {

class CCuttingProxy {
 public:
  CCuttingProxy(int serverPort, int cuts, size_t cutAfter);

  int Port() const { return m_port; }
  // The connections accepted so far.
  int Connections() const;

 private:
  int m_port;
  std::string m_counter;  // one line per connection
  std::unique_ptr<CChildProcess> m_process;
};

}  // namespace testing_support
