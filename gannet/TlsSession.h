#pragma once
// TLS (1.2 at least) over a connected non-blocking socket. The peer's chain
// is verified against the system's trust store (which honours SSL_CERT_FILE
// and SSL_CERT_DIR) and an optional PEM bundle, and its certificate must
// name the host (or IP address) asked for in its subjectAltName; there is no
// way to turn verification off. Failures come back as error numbers of the
// socket layer's numbering (WinsockErrors.h).
//
// The implementation (OpenSSL 3, OpenSslSession.h) is the module
// libgannet-tls, loaded at the first session from beside the library (or
// beside a program that links Gannet's objects), so that a run that never
// speaks TLS does not map OpenSSL.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace gannet {

class CTlsSession {
 public:
  // Waits until the socket is ready for the poll events given; false with
  // the socket's pending error set when the time limit passed.
  using Wait = std::function<bool(short events)>;

  // A session over fd; null with *error set to kSecPackageNotFound when
  // the module cannot be loaded (it is tried again at the next call).
  static std::unique_ptr<CTlsSession> Open(int fd, Wait wait, int32_t* error);

  virtual ~CTlsSession() = default;

  // Handshakes for host (name or IP literal, sent as SNI when a name).
  // caFile ("" for none) adds trusted certificates. 0, or the reason: an
  // SEC_E_* number, 10054 when the peer left, or 0 with *waitFailed set
  // when a wait gave up (the socket holds that reason).
  virtual int32_t Handshake(const std::string& host, const std::string& caFile,
                            bool* waitFailed) = 0;
  // Like recv: bytes read, 0 at the end of the stream, -1 with *error set
  // (0 in *error when a wait gave up).
  virtual int32_t Read(char* buffer, int32_t size, int32_t* error) = 0;
  // Whether the stream ended without the peer's close_notify: the end that
  // Read reported may be a cut made on the way.
  virtual bool Cut() const = 0;
  // Writes all of data; false with *error set as for Read.
  virtual bool Write(const char* data, int32_t size, int32_t* error) = 0;
};

// The module's one export, named kTlsSessionFactoryName: a new session that
// takes over *wait, null when out of memory.
using TlsSessionFactory = CTlsSession* (*)(int fd, CTlsSession::Wait* wait);
constexpr const char* kTlsSessionFactoryName = "gannet_tls_session_new";
// The module's file name.
constexpr const char* kTlsModuleName = "libgannet-tls.so." GANNET_VERSION;

}  // namespace gannet
