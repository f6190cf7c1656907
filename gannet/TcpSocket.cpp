#include "TcpSocket.h"

#include "WinsockErrors.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace gannet {

namespace {

int32_t Reported(int32_t code) {
  return code == kWsaWouldBlock || code == kWsaBase ? 0 : code;
}

struct AddrInfoFree {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

}  // namespace

// A limit beyond what poll can take (about 24 days) is poll's longest wait.
CTcpSocket::CTcpSocket(int timeoutSeconds)
    : m_timeoutMs(timeoutSeconds > 0
                      ? static_cast<int>(std::min<int64_t>(int64_t{timeoutSeconds} * 1000, INT_MAX))
                      : -1) {}

CTcpSocket::~CTcpSocket() { Close(); }

int32_t CTcpSocket::Init(intptr_t, int32_t) {
  // POSIX sockets need no start-up of their own.
  m_initialised = true;
  return 0;
}

bool CTcpSocket::WaitFor(short events) {
  if (m_fd < 0) {
    m_pendingError = WinsockFromErrno(ENOTCONN);
    return false;
  }
  pollfd p{m_fd, events, 0};
  for (;;) {
    const int n = poll(&p, 1, m_timeoutMs);
    if (n > 0) return true;
    if (n == 0) {
      m_pendingError = kWsaTimedOut;
      return false;
    }
    if (errno != EINTR) {
      m_pendingError = WinsockFromErrno(errno);
      return false;
    }
  }
}

bool CTcpSocket::ConnectTo(const addrinfo& address) {
  m_fd = socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (m_fd < 0) {
    m_pendingError = WinsockFromErrno(errno);
    return false;
  }
  if (connect(m_fd, address.ai_addr, address.ai_addrlen) == 0) return true;
  if (errno == EINPROGRESS && WaitFor(POLLOUT)) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
    if (error == 0) return true;
    m_pendingError = WinsockFromErrno(error);
  } else if (errno != EINPROGRESS) {
    m_pendingError = WinsockFromErrno(errno);
  }
  Close();
  return false;
}

int32_t CTcpSocket::Connect(const std::string& host, int32_t port) {
  if (!m_initialised) return -1;
  Close();
  if (port == 0) port = 80;
  if (port < 0 || port > 65535) {
    m_pendingError = kWsaAddressNotAvailable;
    return -1;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const int result = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (result != 0) {
    m_pendingError = WinsockFromLookup(result, errno);
    return -1;
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> list(found);
  return ConnectAddresses(list.get());
}

int32_t CTcpSocket::ConnectAddresses(const addrinfo* list) {
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if (ConnectTo(*a)) return 0;
  }
  return -1;
}

int32_t CTcpSocket::GetInfo(WebSocketInfo* info) {
  info->socket = m_fd;
  if (m_lastError != 0) {
    info->lastError = Reported(m_lastError);
    info->errorText = WinsockErrorText(m_lastError);
  } else {
    info->lastError = Reported(m_pendingError);
  }
  return m_initialised ? 0 : -1;
}

void CTcpSocket::Close() {
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

void CTcpSocket::Fail(int32_t code) {
  m_pendingError = code;
  m_lastError = code;
}

int32_t CTcpSocket::Send(const char* data, int32_t length, int32_t flags) {
  if (length == 0) return 0;
  // Sends everything, as a blocking send does; the limit applies to each wait.
  int32_t sent = 0;
  while (sent < length) {
    if (!WaitFor(POLLOUT)) {
      Fail(m_pendingError);
      return -1;
    }
    const ssize_t n = send(m_fd, data + sent, length - sent, flags | MSG_NOSIGNAL);
    if (n >= 0) {
      sent += static_cast<int32_t>(n);
    } else if (errno != EAGAIN && errno != EINTR) {
      Fail(WinsockFromErrno(errno));
      return -1;
    }
  }
  return sent;
}

int32_t CTcpSocket::Receive(char* buffer, int32_t size, int32_t flags) {
  if (!buffer) return 0;
  if (m_fd < 0) {
    Fail(WinsockFromErrno(ENOTCONN));
    return -1;
  }
  // Data already waiting is taken at once; the wait only comes when none is.
  for (;;) {
    const ssize_t n = recv(m_fd, buffer, size, flags);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno == EINTR) continue;
    if (errno != EAGAIN) {
      Fail(WinsockFromErrno(errno));
      return -1;
    }
    if (!WaitFor(POLLIN)) {
      Fail(m_pendingError);
      return -1;
    }
  }
}

int32_t CTcpSocket::LastError() {
  if (m_lastError == 0) m_lastError = m_pendingError;
  return Reported(m_lastError);
}

const char* CTcpSocket::ErrorText() { return WinsockErrorText(m_lastError); }

}  // namespace gannet
