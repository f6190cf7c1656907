#include "support/RcloneServer.h"

#include <fcntl.h>
#include <unistd.h>

#include <stdexcept>

#include "support/NginxServer.h"
#include "support/TestFiles.h"

namespace testing_support {

namespace {

constexpr char kBinary[] = "/usr/bin/rclone";

}  // namespace

bool CRcloneServer::Available() { return access(kBinary, X_OK) == 0; }

CRcloneServer::CRcloneServer(const std::string& protocol, const std::string& folder,
                             const std::vector<std::string>& options, int lifetimeSeconds)
    : m_port(FreePort()), m_lifetimeSeconds(lifetimeSeconds) {
  const std::string dir = MakeDir("rclone");
  m_log = dir + "/rclone.log";
  WriteFile(dir + "/rclone.conf", "");
  m_argv = {kBinary,       "serve", protocol, folder, "--config", dir + "/rclone.conf",
            "--cache-dir", dir + "/cache", "--addr", "127.0.0.1:" + std::to_string(m_port)};
  m_argv.insert(m_argv.end(), options.begin(), options.end());
  Restart();
}

void CRcloneServer::Restart() {
  const int log = open(m_log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  m_process = std::make_unique<CChildProcess>(m_argv, m_lifetimeSeconds,
                                              std::vector<std::pair<int, int>>{{log, 2}});
  close(log);
  if (!WaitForPort(m_port, 10)) throw std::runtime_error(ReadFile(m_log));
}

}  // namespace testing_support
