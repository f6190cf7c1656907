#pragma once
// A TCP stream connection over POSIX sockets, optionally carrying TLS.
// Names are looked up with getaddrinfo and the addresses returned are tried
// in order; when one has not connected within 250 ms the next is started
// beside it (RFC 8305), and the first to connect is used. Connecting and
// every wait for data give up after the time limit without progress, as
// 10060 "Connection timed out". A name that is not an address literal is
// looked up on a thread of its own, so that a tick that says stop abandons
// the lookup instead of waiting for the resolver. Failing calls leave
// their error, in Winsock numbering, as the pending error that LastError
// picks up, as the thread's last socket error would be.

#include "NetSocket.h"

#include <chrono>
#include <memory>
#include <netdb.h>
#include <optional>
#include <poll.h>

namespace gannet {

class CTlsSession;

class CTcpSocket : public CNetSocket {
 public:
  // timeoutSeconds: the limit for connecting and for each wait; 0 for none.
  explicit CTcpSocket(int timeoutSeconds);
  // How long one second of the time limit lasts for every socket made from
  // now on: 1000 ms unless changed. The library never changes it; its tests
  // shorten it to see limits pass without waiting seconds for each.
  static void SetSecondLength(std::chrono::milliseconds length);
  ~CTcpSocket() override;
  CTcpSocket(const CTcpSocket&) = delete;
  CTcpSocket& operator=(const CTcpSocket&) = delete;

  int32_t Init(intptr_t window, int32_t message) override;
  int32_t Connect(const std::string& host, int32_t port) override;
  int32_t GetInfo(WebSocketInfo* info) override;
  void Close() override;
  int32_t Send(const char* data, int32_t length, int32_t flags) override;
  int32_t Receive(char* buffer, int32_t size, int32_t flags) override;
  bool EndIsClean() override;
  int32_t LastError() override;
  const char* ErrorText() override;
  int32_t StartTls(const std::string& host, const std::string& caFile) override;
  void StartDeadline() override;
  void ClearDeadline() override { m_deadline.reset(); }
  void SetTick(Tick tick) override { m_tick = std::move(tick); }

  // Connects to one of the addresses of list, staggering the attempts;
  // 0, or -1 with the last failed attempt's error pending.
  int32_t ConnectAddresses(const addrinfo* list);

  // The delay after which the next address is tried beside a slow one.
  static constexpr int kStaggerMs = 250;
  // The longest a wait goes without asking the tick.
  static constexpr int kTickMs = 100;

 private:
  using Clock = std::chrono::steady_clock;
  // Waits until the socket is ready for events; false (pending error 10060
  // or the poll's error) when the limit passes first.
  bool WaitFor(short events);
  // The wait allowed now in milliseconds (-1 for none), within limit.
  int WaitBudget(std::optional<Clock::time_point> limit) const;
  // Polls `fds` until one is ready (the count), `budgetMs` has passed (0;
  // -1 for no limit) or the tick says stop (-1 with 10004 pending); -1 with
  // the poll's error pending when it fails.
  int Poll(pollfd* fds, size_t count, int budgetMs);
  // getaddrinfo for host and port; 0 or the lookup's error (errno in
  // *error), EAI_SYSTEM with EINTR when the tick said stop.
  int LookUp(const std::string& host, const std::string& port, addrinfo** found, int* error);
  // False when the tick says stop, leaving 10004 pending.
  bool GoOn();
  // Starts a non-blocking connect; the descriptor, or -1 with the error
  // pending. *done is set when it connected at once.
  int StartConnect(const addrinfo& address, bool* done);
  // A failed send or receive: code becomes the pending and the stored error.
  void Fail(int32_t code);

  bool m_initialised = false;
  int m_timeoutMs;
  int m_fd = -1;
  int32_t m_lastError = 0;
  int32_t m_pendingError = 0;
  std::optional<Clock::time_point> m_deadline;
  std::unique_ptr<CTlsSession> m_tls;
  Tick m_tick;
};

}  // namespace gannet
