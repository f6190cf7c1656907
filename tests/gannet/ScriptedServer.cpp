#include "ScriptedServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kLifetimeMs = 60000;
constexpr int kRequestWaitMs = 5000;

// The header block has ended, or a TLS client's first record is whole.
bool IsWholeRequest(const std::string& request) {
  if (request.find("\r\n\r\n") != std::string::npos) return true;
  constexpr size_t kRecordHeader = 5;
  if (request.size() < kRecordHeader || request[0] != 0x16 || request[1] != 0x03) return false;
  const size_t length = static_cast<size_t>(static_cast<uint8_t>(request[3]) << 8 |
                                            static_cast<uint8_t>(request[4]));
  return request.size() >= kRecordHeader + length;
}

}  // namespace

const std::string CScriptedServer::kNoAnswer = "no answer";

CScriptedServer::CScriptedServer(std::string reply, Mode mode, bool ipv6)
    : CScriptedServer(std::vector<std::string>{std::move(reply)}, mode, ipv6) {}

CScriptedServer::CScriptedServer(std::vector<std::string> replies, Mode mode, bool ipv6)
    : m_replies(std::move(replies)), m_mode(mode), m_ipv6(ipv6) {
  m_listen = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_storage storage{};
  socklen_t size;
  if (ipv6) {
    auto* addr = reinterpret_cast<sockaddr_in6*>(&storage);
    addr->sin6_family = AF_INET6;
    addr->sin6_addr = in6addr_loopback;
    size = sizeof *addr;
  } else {
    auto* addr = reinterpret_cast<sockaddr_in*>(&storage);
    addr->sin_family = AF_INET;
    addr->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    size = sizeof *addr;
  }
  auto* any = reinterpret_cast<sockaddr*>(&storage);
  if (m_listen < 0 || bind(m_listen, any, size) != 0 || listen(m_listen, 8) != 0 ||
      getsockname(m_listen, any, &size) != 0 || pipe2(m_stop, O_CLOEXEC) != 0) {
    if (m_listen >= 0) close(m_listen);
    throw std::runtime_error("scripted server cannot listen");
  }
  m_port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port
                      : reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CScriptedServer::~CScriptedServer() {
  (void)!write(m_stop[1], "x", 1);
  m_thread.join();
  close(m_listen);
  close(m_stop[0]);
  close(m_stop[1]);
}

std::string CScriptedServer::Url(const std::string& path) const {
  return std::string(m_ipv6 ? "http://[::1]:" : "http://127.0.0.1:") + std::to_string(m_port) +
         path;
}

std::vector<std::string> CScriptedServer::Requests() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_requests;
}

bool CScriptedServer::WaitReadable(int fd, int timeoutMs) const {
  pollfd p[2] = {{fd, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
  return poll(p, 2, timeoutMs) > 0 && (p[0].revents & (POLLIN | POLLHUP | POLLERR)) &&
         !(p[1].revents & POLLIN);
}

void CScriptedServer::Serve() {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLifetimeMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !WaitReadable(m_listen, static_cast<int>(left.count()))) return;
    const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++m_connections;
    if (m_mode != Mode::kHangUp) {
      Answer(fd);
    } else {
      // Closing before the request is in would race a FIN against the
      // reset the request then draws; closing with it unread always resets.
      WaitReadable(fd, kRequestWaitMs);
    }
    close(fd);
  }
}

void CScriptedServer::Answer(int fd) {
  std::string request;
  char buffer[4096];
  while (!IsWholeRequest(request) && WaitReadable(fd, kRequestWaitMs)) {
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    request.append(buffer, static_cast<size_t>(n));
  }
  std::string reply;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    reply = m_replies[std::min(m_requests.size(), m_replies.size() - 1)];
    m_requests.push_back(request);
  }
  if (m_mode == Mode::kSilent) {
    WaitReadable(m_stop[0], kLifetimeMs);
    return;
  }
  if (reply == kNoAnswer) {
    // The client's leaving, not its data, ends the wait: what it still
    // sends stays unread, so its sending stalls.
    pollfd p[2] = {{fd, POLLRDHUP, 0}, {m_stop[0], POLLIN, 0}};
    poll(p, 2, kLifetimeMs);
    return;
  }
  if (m_mode == Mode::kDrip) {
    for (char c : reply) {
      if (!SendAll(fd, &c, 1) || !Pause(m_dripMs.load())) return;
    }
    return;
  }
  if (m_mode == Mode::kTrickle) {
    for (size_t at = 0; at < reply.size(); at += 4096) {
      if (!SendAll(fd, reply.data() + at, std::min<size_t>(4096, reply.size() - at)) ||
          !Pause(20)) {
        return;
      }
    }
    return;
  }
  if (!SendAll(fd, reply.data(), reply.size())) return;
  if (m_mode == Mode::kEndless) {
    const std::string line = "X-More: " + std::string(64, 'm') + "\r\n";
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLifetimeMs);
    while (std::chrono::steady_clock::now() < end && SendAll(fd, line.data(), line.size())) {
    }
    return;
  }
  if (m_mode == Mode::kKeepOpen) WaitReadable(fd, kLifetimeMs);
  if (m_mode == Mode::kReset) {
    const linger reset{1, 0};
    setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  }
}

bool CScriptedServer::SendAll(int fd, const char* data, size_t size) const {
  for (size_t sent = 0; sent < size;) {
    pollfd p[2] = {{fd, POLLOUT, 0}, {m_stop[0], POLLIN, 0}};
    if (poll(p, 2, kLifetimeMs) <= 0 || (p[1].revents & POLLIN)) return false;
    const ssize_t n = send(fd, data + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool CScriptedServer::Pause(int ms) const {
  pollfd p = {m_stop[0], POLLIN, 0};
  return poll(&p, 1, ms) == 0;
}
