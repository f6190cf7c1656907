#include "HttpConnection.h"

#include "HttpRequest.h"
#include "NetSocket.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gannet {

namespace {

// Room for a little more than the window, as the receives ask for at most
// the window's size.
constexpr int32_t kAllocation = 24576;

}  // namespace

CHttpConnection::CHttpConnection(CNetSocket* socket, const std::string& proxy)
    : m_socket(socket), m_proxy(proxy) {
  try {
    m_window.resize(kAllocation);
  } catch (const std::bad_alloc&) {
    // HasWindow tells the driver, which then fails every transfer.
  }
}

bool CHttpConnection::Open(const RequestTarget& target) {
  if (m_proxy.empty()) {
    if (m_socket->Connect(target.host.name, target.host.port) != 0) return false;
  } else {
    // A proxy may be written as host:port alone.
    const std::string proxy =
        m_proxy.find("://") == std::string::npos ? "http://" + m_proxy : m_proxy;
    const HostPort peer = SplitHostPort(ParseUrl(proxy, "", kParseHost).value_or(""));
    if (m_socket->Connect(peer.name, peer.port) != 0) return false;
    if (target.https && !OpenTunnel(target)) return false;
  }
  return !target.https || m_socket->StartTls(target.host.name, m_caFile) == 0;
}

bool CHttpConnection::OpenTunnel(const RequestTarget& target) {
  if (!Send(CHttpRequest::Connect(target.host)) || !ReceiveHeader()) return false;
  // A refusal keeps the proxy's status line for the caller.
  if (m_header.statusCode != 200) return false;
  m_header.ForgetStatus();
  return true;
}

bool CHttpConnection::Send(const std::string& request) {
  return m_socket->Send(request.data(), static_cast<int32_t>(request.size()), 0) >= 1;
}

bool CHttpConnection::ReceiveHeader() {
  m_filled = m_headerLength = 0;
  m_header.ForgetStatus();
  int32_t scanFrom = 0;
  m_socket->StartDeadline();
  bool found = false;
  while (!(found = FindHeaderEnd(&scanFrom)) && kWindow - m_filled >= kRefillThreshold) {
    // A header block that does not fit the window is refused whole.
    const int32_t n = m_socket->Receive(m_window.data() + m_filled, kWindow - m_filled, 0);
    if (n <= 0) break;
    m_filled += n;
  }
  m_socket->ClearDeadline();
  if (found) m_header.Parse(std::string_view(m_window.data(), m_headerLength));
  return found;
}

bool CHttpConnection::FindHeaderEnd(int32_t* scanFrom) {
  const char* data = m_window.data();
  for (int32_t i = std::max(0, *scanFrom - 3); i + 1 < m_filled; ++i) {
    if (data[i] == '\n' && data[i + 1] == '\n') {
      m_headerLength = i + 2;
      return true;
    }
    if (i + 3 < m_filled && std::memcmp(data + i, "\r\n\r\n", 4) == 0) {
      m_headerLength = i + 4;
      return true;
    }
  }
  *scanFrom = m_filled;
  return false;
}

std::string_view CHttpConnection::EarlyBody() const {
  return std::string_view(m_window.data() + m_headerLength,
                          static_cast<size_t>(m_filled - m_headerLength));
}

int32_t CHttpConnection::ReceiveBlock() { return m_socket->Receive(m_window.data(), kWindow, 0); }

bool CHttpConnection::EndIsClean() { return m_socket->EndIsClean(); }

void CHttpConnection::Close() { m_socket->Close(); }

}  // namespace gannet
