#include "support/NginxServer.h"

#include "support/TestFiles.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace testing_support {

namespace {

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

}  // namespace

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr = Loopback(0);
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    throw std::runtime_error("no free port");
  }
  close(fd);
  return ntohs(addr.sin_port);
}

bool WaitForPort(int port, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = Loopback(port);
    const bool up = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    close(fd);
    if (up) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

CNginxServer::CNginxServer(const std::string& root, int lifetimeSeconds)
    : CNginxServer(root, "", "", lifetimeSeconds) {}

CNginxServer::CNginxServer(const std::string& root, const std::string& serverDirectives,
                           const std::string& workerUser, int lifetimeSeconds,
                           const std::string& httpConfig)
    : m_lifetimeSeconds(lifetimeSeconds) {
  const std::string dir = MakeDir("nginx");
  m_dir = dir;
  // The worker keeps uploads in its temporary folders below `dir`.
  if (!workerUser.empty()) {
    chmod(TestRoot().c_str(), 0711);
    chmod(dir.c_str(), 0711);
  }
  m_port = FreePort();
  const std::string conf = dir + "/nginx.conf";
  WriteFile(conf,
            "daemon off;\nworker_processes 1;\n" +
                (workerUser.empty() ? "master_process off;\n"
                                    : "master_process on;\nuser " + workerUser + ";\n") +
            "pid " + dir + "/nginx.pid;\nerror_log " + dir + "/error.log;\n"
            "events { worker_connections 64; }\n"
            "http {\n"
            "  access_log " + dir + "/access.log;\n"
            "  client_body_temp_path " + dir + "/body;\n"
            "  proxy_temp_path " + dir + "/proxy;\n"
            "  fastcgi_temp_path " + dir + "/fastcgi;\n"
            "  uwsgi_temp_path " + dir + "/uwsgi;\n"
            "  scgi_temp_path " + dir + "/scgi;\n"
            "  types { text/plain txt; application/msword doc; application/octet-stream bin; }\n"
            "  default_type application/octet-stream;\n"
            "  server {\n"
            "    listen 127.0.0.1:" + std::to_string(m_port) + ";\n"
            "    root " + root + ";\n" + serverDirectives + "\n"
            "  }\n" + httpConfig +
            "}\n");
  Restart();
}

void CNginxServer::Restart() {
  m_process = std::make_unique<CChildProcess>(
      std::vector<std::string>{"/usr/sbin/nginx", "-e", m_dir + "/error.log", "-p", m_dir, "-c",
                               m_dir + "/nginx.conf"},
      m_lifetimeSeconds);
  if (!WaitForPort(m_port, 10)) throw std::runtime_error("nginx did not start");
}

CNginxServer::~CNginxServer() = default;

std::string CNginxServer::AccessLog(size_t lines) const {
  std::string log = ReadFile(m_dir + "/access.log");
  for (int i = 0; i < 250 && size_t(std::count(log.begin(), log.end(), '\n')) < lines; ++i) {
    usleep(20000);
    log = ReadFile(m_dir + "/access.log");
  }
  return log;
}

std::string CNginxServer::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

}  // namespace testing_support
