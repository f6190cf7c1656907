#include "ChildServer.h"

#include "support/NginxServer.h"

#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace {

constexpr int kLifetimeSeconds = 180;

}  // namespace

CChildServer::CChildServer(const std::vector<std::string>& argv, int port,
                           const std::string& logPath) {
  const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  m_process = std::make_unique<testing_support::CChildProcess>(
      argv, kLifetimeSeconds, std::vector<std::pair<int, int>>{{log, 1}, {log, 2}});
  close(log);
  if (!testing_support::WaitForPort(port, 10)) {
    throw std::runtime_error(argv[0] + " did not come up; see " + logPath);
  }
}
