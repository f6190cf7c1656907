#include "ChildServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr const char* kSelfTimeout = "180";

bool Accepts(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace

CChildServer::CChildServer(const std::vector<std::string>& argv, int port,
                           const std::string& logPath) {
  std::vector<std::string> full = {"timeout", kSelfTimeout};
  full.insert(full.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (std::string& a : full) args.push_back(a.data());
  args.push_back(nullptr);
  m_pid = fork();
  if (m_pid == 0) {
    const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(log, 1);
    dup2(log, 2);
    execvp(args[0], args.data());
    _exit(127);
  }
  bool ended = false;
  for (int i = 0; i < 200 && !ended; ++i) {
    if (Accepts(port)) return;
    ended = waitpid(m_pid, nullptr, WNOHANG) == m_pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!ended) {
    kill(m_pid, SIGTERM);
    waitpid(m_pid, nullptr, 0);
  }
  throw std::runtime_error(argv[0] + " did not come up; see " + logPath);
}

CChildServer::~CChildServer() {
  kill(m_pid, SIGTERM);
  waitpid(m_pid, nullptr, 0);
}

int CChildServer::FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
  close(fd);
  return ntohs(addr.sin_port);
}
