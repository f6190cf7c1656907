#include "support/CuttingProxy.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace testing_support {

namespace {

constexpr int kLifetimeMs = 120000;
constexpr size_t kNoLimit = static_cast<size_t>(-1);

sockaddr_in Loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

bool SendAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

CCuttingProxy::CCuttingProxy(int serverPort, int cuts, size_t cutAfter)
    : m_serverPort(serverPort), m_cuts(cuts), m_cutAfter(cutAfter) {
  m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr = Loopback(0);
  socklen_t size = sizeof addr;
  auto* any = reinterpret_cast<sockaddr*>(&addr);
  if (m_listen < 0 || bind(m_listen, any, size) != 0 || listen(m_listen, 8) != 0 ||
      getsockname(m_listen, any, &size) != 0 || pipe2(m_stop, O_CLOEXEC) != 0) {
    if (m_listen >= 0) close(m_listen);
    throw std::runtime_error("cutting proxy cannot listen");
  }
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CCuttingProxy::~CCuttingProxy() {
  (void)!write(m_stop[1], "x", 1);
  m_thread.join();
  close(m_listen);
  close(m_stop[0]);
  close(m_stop[1]);
}

void CCuttingProxy::Serve() {
  short ready = 0;
  while (Wait(m_listen, -1, &ready, nullptr)) {
    const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    const int index = m_connections++;
    Relay(client, index < m_cuts ? m_cutAfter : kNoLimit);
    close(client);
  }
}

void CCuttingProxy::Relay(int client, size_t limit) {
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_in addr = Loopback(m_serverPort);
  if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    if (server >= 0) close(server);
    return;
  }
  char buffer[16384];
  size_t passed = 0;
  short fromClient = 0;
  short fromServer = 0;
  bool open = true;
  while (open && Wait(client, server, &fromClient, &fromServer)) {
    if (fromClient) {
      const ssize_t n = recv(client, buffer, sizeof buffer, 0);
      open = n > 0 && SendAll(server, buffer, static_cast<size_t>(n));
    }
    if (open && fromServer) {
      const ssize_t n = recv(server, buffer, sizeof buffer, 0);
      const size_t pass = n > 0 ? std::min(static_cast<size_t>(n), limit - passed) : 0;
      open = n > 0 && SendAll(client, buffer, pass);
      passed += pass;
      // A plain close: a reset could make the client's kernel drop what
      // it holds unread, so that the byte count would vary.
      if (passed == limit) open = false;
    }
  }
  close(server);
}

bool CCuttingProxy::Wait(int client, int server, short* clientEvents,
                         short* serverEvents) const {
  pollfd p[3] = {{m_stop[0], POLLIN, 0}, {client, POLLIN, 0}, {server, POLLIN, 0}};
  const int n = poll(p, server >= 0 ? 3 : 2, kLifetimeMs);
  if (n <= 0 || p[0].revents) return false;
  *clientEvents = p[1].revents;
  if (serverEvents) *serverEvents = p[2].revents;
  return true;
}

}  // namespace testing_support
