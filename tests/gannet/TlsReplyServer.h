#pragma once
// A loopback HTTPS peer for the web library's tests: it listens on
// 127.0.0.1 (ephemeral port) with a certificate given to it, reads each
// request and answers it with the same raw bytes, then ends the connection
// either as TLS asks (close_notify first) or by closing the socket alone,
// as a cut on the way would. It stops by itself after a minute at most.

#include "support/TestCa.h"

#include <memory>
#include <string>
#include <thread>

typedef struct ssl_ctx_st SSL_CTX;

class CTlsReplyServer {
 public:
  enum class End { kCloseNotify, kCut };

  // Throws std::runtime_error when it cannot listen or load identity.
  CTlsReplyServer(const testing_support::CTestCa::Issued& identity, std::string reply, End end);
  ~CTlsReplyServer();
  CTlsReplyServer(const CTlsReplyServer&) = delete;
  CTlsReplyServer& operator=(const CTlsReplyServer&) = delete;

  // "https://127.0.0.1:<port>" followed by path.
  std::string Url(const std::string& path) const;

 private:
  void Serve();
  void Answer(int fd);

  std::string m_reply;
  End m_end;
  std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> m_context;
  int m_listen = -1;
  int m_port = 0;
  int m_stop[2] = {-1, -1};
  std::thread m_thread;
};
