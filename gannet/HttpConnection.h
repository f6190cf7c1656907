#pragma once
// One connection of the HTTP driver to an origin server: directly, or
// through a proxy (plain http forwarded by the whole URL, https through a
// CONNECT tunnel), with TLS started for https; and the 20480-byte window
// every answer streams through, header block first. Failures return false;
// a failure of the socket leaves its cause in the socket's LastError. The
// socket is not owned.

#include "HttpHeader.h"
#include "UrlParser.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace gannet {

class CNetSocket;

class CHttpConnection {
 public:
  static constexpr int32_t kWindow = 20480;
  // Below this much room the window takes no more of a header block.
  static constexpr int32_t kRefillThreshold = 256;

  // proxy is "" for a direct connection, else a URL or host:port. Without
  // memory for its window the connection cannot be used (HasWindow).
  CHttpConnection(CNetSocket* socket, const std::string& proxy);

  bool HasWindow() const { return !m_window.empty(); }
  const std::string& Proxy() const { return m_proxy; }

  // Extra trusted certificates (a PEM bundle) for https; "" for none.
  void SetCaFile(const std::string& caFile) { m_caFile = caFile; }
  // Whether a request for target goes through the proxy by its whole URL.
  bool Forwards(const RequestTarget& target) const { return !m_proxy.empty() && !target.https; }
  // Connects to the origin of target, or to the proxy (and through its
  // tunnel for https), and starts TLS for https. A tunnel the proxy refused
  // leaves the proxy's answer in Header().
  bool Open(const RequestTarget& target);
  // Sends the whole of request.
  bool Send(const std::string& request);
  // Receives until the header block has ended and parses it into Header();
  // false on a socket failure, the end of the stream or a block too long
  // for the window (Header() then keeps all but the last status). The whole
  // phase is bounded by the socket's time limit.
  bool ReceiveHeader();
  // Body bytes that arrived in the window behind the header block.
  std::string_view EarlyBody() const;
  // Receives the next block into the window: its size, 0 at the end of the
  // stream, -1 on a failure.
  int32_t ReceiveBlock();
  const char* Block() const { return m_window.data(); }
  // Whether the end of stream just received is the peer's own (see
  // CNetSocket::EndIsClean).
  bool EndIsClean();
  void Close();

  // The header block received last (after a refused tunnel, the proxy's);
  // it stays through a failed exchange, and the driver amends it as the
  // transfer goes on.
  CHttpHeader& Header() { return m_header; }
  const CHttpHeader& Header() const { return m_header; }

 private:
  bool OpenTunnel(const RequestTarget& target);
  bool FindHeaderEnd(int32_t* scanFrom);

  CNetSocket* m_socket;
  std::string m_proxy;
  std::string m_caFile;
  std::vector<char> m_window;
  int32_t m_filled = 0;
  int32_t m_headerLength = 0;
  CHttpHeader m_header;
};

}  // namespace gannet
