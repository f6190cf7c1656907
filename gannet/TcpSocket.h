#pragma once
// A TCP stream connection over POSIX sockets. Names are looked up with
// getaddrinfo and every address returned is tried in order until one
// connects. Connecting and every wait for data give up after the time limit
// without progress, as 10060 "Connection timed out". Failing calls leave
// their error, in Winsock numbering, as the pending error that LastError
// picks up, as the thread's last socket error would be.

#include "NetSocket.h"

#include <netdb.h>

namespace gannet {

class CTcpSocket : public CNetSocket {
 public:
  // timeoutSeconds: the limit for connecting and for each wait; 0 for none.
  explicit CTcpSocket(int timeoutSeconds);
  ~CTcpSocket() override;
  CTcpSocket(const CTcpSocket&) = delete;
  CTcpSocket& operator=(const CTcpSocket&) = delete;

  int32_t Init(intptr_t window, int32_t message) override;
  int32_t Connect(const std::string& host, int32_t port) override;
  int32_t GetInfo(WebSocketInfo* info) override;
  void Close() override;
  int32_t Send(const char* data, int32_t length, int32_t flags) override;
  int32_t Receive(char* buffer, int32_t size, int32_t flags) override;
  int32_t LastError() override;
  const char* ErrorText() override;

  // Tries the addresses of list in order until one connects; 0, or -1 with
  // the last attempt's error pending.
  int32_t ConnectAddresses(const addrinfo* list);

 private:
  // Waits until the socket is ready for events; false (pending error 10060
  // or the poll's error) when the limit passes first.
  bool WaitFor(short events);
  bool ConnectTo(const addrinfo& address);
  // A failed send or receive: code becomes the pending and the stored error.
  void Fail(int32_t code);

  bool m_initialised = false;
  int m_timeoutMs;
  int m_fd = -1;
  int32_t m_lastError = 0;
  int32_t m_pendingError = 0;
};

}  // namespace gannet
