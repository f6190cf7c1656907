#include "TcpSocket.h"

#include "ThreadedLookup.h"
#include "TlsSession.h"
#include "WinsockErrors.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <memory>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace gannet {

namespace {

// The length of one second of the time limit (SetSecondLength).
std::atomic<int64_t> g_secondMs{1000};

int32_t Reported(int32_t code) {
  return code == kWsaWouldBlock || code == kWsaBase ? 0 : code;
}

struct AddrInfoFree {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

// The connection attempts in flight; whatever is not taken is closed.
struct Attempts {
  std::vector<pollfd> fds;
  ~Attempts() {
    for (const pollfd& p : fds) close(p.fd);
  }
  int Take(size_t i) {
    const int fd = fds[i].fd;
    fds.erase(fds.begin() + static_cast<std::ptrdiff_t>(i));
    return fd;
  }
};

int SocketError(int fd) {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) error = errno;
  return error;
}

// The first attempt that poll found connected, taken out of attempts; -1
// when none has. Attempts that failed are closed, leaving their error.
int TakeConnected(Attempts* attempts, int32_t* error) {
  for (size_t i = 0; i < attempts->fds.size();) {
    if (attempts->fds[i].revents == 0) {
      ++i;
      continue;
    }
    const int fd = attempts->Take(i);
    const int failure = SocketError(fd);
    if (failure == 0) return fd;
    *error = WinsockFromErrno(failure);
    close(fd);
  }
  return -1;
}

}  // namespace

void CTcpSocket::SetSecondLength(std::chrono::milliseconds length) {
  g_secondMs.store(length.count());
}

// A limit beyond what poll can take (about 24 days) is poll's longest wait.
CTcpSocket::CTcpSocket(int timeoutSeconds)
    : m_timeoutMs(timeoutSeconds > 0 ? static_cast<int>(std::min<int64_t>(
                                           int64_t{timeoutSeconds} * g_secondMs.load(), INT_MAX))
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
  const int n = Poll(&p, 1, WaitBudget(m_deadline));
  if (n == 0) m_pendingError = kWsaTimedOut;
  return n > 0;
}

bool CTcpSocket::GoOn() {
  if (!m_tick || m_tick()) return true;
  m_pendingError = kWsaInterrupted;
  return false;
}

int CTcpSocket::Poll(pollfd* fds, size_t count, int budgetMs) {
  std::optional<Clock::time_point> end;
  if (budgetMs >= 0) end = Clock::now() + std::chrono::milliseconds(budgetMs);
  for (;;) {
    int slice = WaitBudget(end);
    if (m_tick && (slice < 0 || slice > kTickMs)) slice = kTickMs;
    const int n = poll(fds, count, slice);
    if (n > 0) return n;
    if (n < 0 && errno != EINTR) {
      m_pendingError = WinsockFromErrno(errno);
      return -1;
    }
    if (!GoOn()) return -1;
    if (end && Clock::now() >= *end) return 0;
  }
}

int CTcpSocket::LookUp(const std::string& host, const std::string& port, addrinfo** found,
                       int* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV | AI_NUMERICHOST;
  int result = getaddrinfo(host.c_str(), port.c_str(), &hints, found);
  if (result != EAI_NONAME || !m_tick) {
    *error = errno;
    if (result == EAI_NONAME) {
      hints.ai_flags = AI_NUMERICSERV;
      result = getaddrinfo(host.c_str(), port.c_str(), &hints, found);
      *error = errno;
    }
    return result;
  }
  hints.ai_flags = AI_NUMERICSERV;
  const auto goOn = [this] { return GoOn(); };
  return ThreadedLookup(host, port, hints, kTickMs, goOn, found, error);
}

int CTcpSocket::WaitBudget(std::optional<Clock::time_point> limit) const {
  if (!limit) return m_timeoutMs;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*limit - Clock::now()).count();
  const int budget = static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
  return m_timeoutMs < 0 ? budget : std::min(budget, m_timeoutMs);
}

void CTcpSocket::StartDeadline() {
  if (m_timeoutMs >= 0) m_deadline = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
}

int CTcpSocket::StartConnect(const addrinfo& address, bool* done) {
  *done = false;
  const int fd = socket(address.ai_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    m_pendingError = WinsockFromErrno(errno);
    return -1;
  }
  if (connect(fd, address.ai_addr, address.ai_addrlen) == 0) {
    *done = true;
  } else if (errno != EINPROGRESS) {
    m_pendingError = WinsockFromErrno(errno);
    close(fd);
    return -1;
  }
  return fd;
}

int32_t CTcpSocket::Connect(const std::string& host, int32_t port) {
  if (!m_initialised) return -1;
  Close();
  // Each connection starts without the errors of an earlier one.
  m_pendingError = 0;
  m_lastError = 0;
  if (port == 0) port = 80;
  if (port < 0 || port > 65535) {
    m_pendingError = kWsaAddressNotAvailable;
    return -1;
  }
  addrinfo* found = nullptr;
  int error = 0;
  const int result = LookUp(host, std::to_string(port), &found, &error);
  if (result != 0) {
    if (m_pendingError != kWsaInterrupted) m_pendingError = WinsockFromLookup(result, error);
    return -1;
  }
  const std::unique_ptr<addrinfo, AddrInfoFree> list(found);
  return ConnectAddresses(list.get());
}

int32_t CTcpSocket::ConnectAddresses(const addrinfo* list) {
  Close();
  Attempts attempts;
  std::optional<Clock::time_point> limit;
  if (m_timeoutMs >= 0) limit = Clock::now() + std::chrono::milliseconds(m_timeoutMs);
  const addrinfo* next = list;
  while (next || !attempts.fds.empty()) {
    if (next) {
      bool done = false;
      const int fd = StartConnect(*next, &done);
      next = next->ai_next;
      if (done) {
        m_fd = fd;
        break;
      }
      if (fd >= 0) attempts.fds.push_back(pollfd{fd, POLLOUT, 0});
      if (fd < 0 || attempts.fds.empty()) continue;
    }
    int budget = WaitBudget(limit);
    if (next && (budget < 0 || budget > kStaggerMs)) budget = kStaggerMs;
    const int n = Poll(attempts.fds.data(), attempts.fds.size(), budget);
    if (n < 0) return -1;
    if (n == 0 && !next && WaitBudget(limit) == 0) {
      m_pendingError = kWsaTimedOut;
      return -1;
    }
    if (n > 0) m_fd = TakeConnected(&attempts, &m_pendingError);
    if (m_fd >= 0) break;
  }
  if (m_fd < 0) return -1;
  // The outcome is the connection's own, not that of an address given up.
  m_pendingError = 0;
  m_lastError = 0;
  return 0;
}

int32_t CTcpSocket::StartTls(const std::string& host, const std::string& caFile) {
  int32_t opened = 0;
  m_tls = CTlsSession::Open(m_fd, [this](short events) { return WaitFor(events); }, &opened);
  if (!m_tls) {
    Fail(opened);
    return -1;
  }
  bool waitFailed = false;
  // The whole handshake is bounded, however slowly the peer takes part.
  StartDeadline();
  const int32_t error = m_tls->Handshake(host, caFile, &waitFailed);
  ClearDeadline();
  if (error == 0 && !waitFailed) return 0;
  Fail(waitFailed ? m_pendingError : error);
  m_tls.reset();
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
  m_tls.reset();
  m_deadline.reset();
  if (m_fd >= 0) close(m_fd);
  m_fd = -1;
}

void CTcpSocket::Fail(int32_t code) {
  m_pendingError = code;
  m_lastError = code;
}

int32_t CTcpSocket::Send(const char* data, int32_t length, int32_t flags) {
  if (length == 0) return 0;
  if (m_tls) {
    int32_t error = 0;
    if (m_tls->Write(data, length, &error)) return length;
    Fail(error != 0 ? error : m_pendingError);
    return -1;
  }
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
  if (m_tls) {
    int32_t error = 0;
    const int32_t n = m_tls->Read(buffer, size, &error);
    if (n < 0) Fail(error != 0 ? error : m_pendingError);
    return n;
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

bool CTcpSocket::EndIsClean() { return !m_tls || !m_tls->Cut(); }

int32_t CTcpSocket::LastError() {
  if (m_lastError == 0) m_lastError = m_pendingError;
  return Reported(m_lastError);
}

const char* CTcpSocket::ErrorText() { return WinsockErrorText(m_lastError); }

}  // namespace gannet
