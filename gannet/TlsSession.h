#pragma once
// TLS (1.2 at least, OpenSSL 3) over a connected non-blocking socket. The
// peer's chain is verified against the system's trust store (which honours
// SSL_CERT_FILE and SSL_CERT_DIR) and an optional PEM bundle, and its
// certificate must name the host (or IP address) asked for in its
// subjectAltName; there is no way to turn verification off. Failures come back as error numbers of the
// socket layer's numbering (WinsockErrors.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace gannet {

class CTlsSession {
 public:
  // Waits until the socket is ready for the poll events given; false with
  // the socket's pending error set when the time limit passed.
  using Wait = std::function<bool(short events)>;

  CTlsSession(int fd, Wait wait);
  ~CTlsSession();
  CTlsSession(const CTlsSession&) = delete;
  CTlsSession& operator=(const CTlsSession&) = delete;

  // Handshakes for host (name or IP literal, sent as SNI when a name).
  // caFile ("" for none) adds trusted certificates. 0, or the reason: an
  // SEC_E_* number, 10054 when the peer left, or 0 with *waitFailed set
  // when a wait gave up (the socket holds that reason).
  int32_t Handshake(const std::string& host, const std::string& caFile, bool* waitFailed);
  // Like recv: bytes read, 0 at the end of the stream, -1 with *error set
  // (0 in *error when a wait gave up).
  int32_t Read(char* buffer, int32_t size, int32_t* error);
  // Whether the stream ended without the peer's close_notify: the end that
  // Read reported may be a cut made on the way.
  bool Cut() const { return m_cut; }
  // Writes all of data; false with *error set as for Read.
  bool Write(const char* data, int32_t size, int32_t* error);

 private:
  // Waits as SSL asked after result; false with *error for a failure.
  bool Retry(int result, int32_t* error);
  int32_t FailureReason(int sslError) const;

  int m_fd;
  Wait m_wait;
  std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)> m_context;
  std::unique_ptr<SSL, void (*)(SSL*)> m_ssl;
  bool m_cut = false;
};

}  // namespace gannet
