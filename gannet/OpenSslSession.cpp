#include "OpenSslSession.h"

#include "WinsockErrors.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <csignal>
#include <new>
#include <poll.h>
#include <pthread.h>
#include <time.h>

namespace gannet {

namespace {

constexpr size_t kReadAhead = 65536;

// OpenSSL writes to the socket with write(), which raises SIGPIPE when the
// peer has gone; the caller's process must not die of that. The signal is
// blocked in this thread while OpenSSL writes, and one raised meanwhile is
// taken off again.
class CSigpipeBlock {
 public:
  CSigpipeBlock() {
    sigemptyset(&m_pipe);
    sigaddset(&m_pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
  }
  ~CSigpipeBlock() {
    sigset_t pending;
    sigpending(&pending);
    if (!m_wasPending && sigismember(&pending, SIGPIPE) == 1) {
      const timespec now{0, 0};
      sigtimedwait(&m_pipe, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
  }
  CSigpipeBlock(const CSigpipeBlock&) = delete;
  CSigpipeBlock& operator=(const CSigpipeBlock&) = delete;

 private:
  sigset_t m_pipe;
  sigset_t m_old;
  bool m_wasPending = false;
};

bool IsAddress(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

int32_t VerifyReason(long result) {
  switch (result) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return kSecWrongPrincipal;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return kSecCertExpired;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
      return kSecUntrustedRoot;
    default:
      return kSecCertUnknown;
  }
}

bool IsUnexpectedEof(unsigned long error) {
  return ERR_GET_LIB(error) == ERR_LIB_SSL &&
         ERR_GET_REASON(error) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

int32_t ProtocolReason(unsigned long error) {
  // A peer that leaves during the handshake is gone, as after a reset.
  if (IsUnexpectedEof(error)) return kWsaConnReset;
  switch (ERR_GET_REASON(error)) {
    case SSL_R_UNSUPPORTED_PROTOCOL:
    case SSL_R_TLSV1_ALERT_PROTOCOL_VERSION:
    case SSL_R_NO_PROTOCOLS_AVAILABLE:
    case SSL_R_SSLV3_ALERT_HANDSHAKE_FAILURE:
    case SSL_R_NO_SHARED_CIPHER:
    case SSL_R_NO_CIPHERS_AVAILABLE:
      return kSecAlgorithmMismatch;
    default:
      return kSecIllegalMessage;
  }
}

}  // namespace

COpenSslSession::COpenSslSession(int fd, Wait wait)
    : m_fd(fd), m_wait(std::move(wait)), m_context(nullptr, SSL_CTX_free), m_ssl(nullptr, SSL_free) {}

COpenSslSession::~COpenSslSession() {
  // A close_notify when it goes out at once; the connection ends anyway.
  if (m_ssl && SSL_is_init_finished(m_ssl.get())) {
    const CSigpipeBlock block;
    SSL_shutdown(m_ssl.get());
  }
}

int32_t COpenSslSession::Handshake(const std::string& host, const std::string& caFile,
                               bool* waitFailed) {
  *waitFailed = false;
  ERR_clear_error();
  m_context.reset(SSL_CTX_new(TLS_client_method()));
  if (!m_context) return kSecIllegalMessage;
  SSL_CTX* context = m_context.get();
  SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION);
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  // The system's hashed certificate folder is read lazily, one issuer at a
  // time (SSL_CERT_DIR when set); the whole bundle file is parsed only when
  // SSL_CERT_FILE names one, since loading it costs more than a small fetch.
  SSL_CTX_set_default_verify_dir(context);
  if (std::getenv(X509_get_default_cert_file_env())) SSL_CTX_set_default_verify_file(context);
  if (!caFile.empty()) SSL_CTX_load_verify_locations(context, caFile.c_str(), nullptr);
  // SSL_OP_IGNORE_UNEXPECTED_EOF stays off: an end without close_notify
  // must stay apart from a proper one, since nothing else tells a body that
  // runs to the end of the connection from a cut one.
  // Reading ahead takes several records per system call.
  SSL_CTX_set_read_ahead(context, 1);
  SSL_CTX_set_default_read_buffer_len(context, kReadAhead);
  m_ssl.reset(SSL_new(context));
  if (!m_ssl) return kSecIllegalMessage;
  SSL* ssl = m_ssl.get();
  SSL_set_fd(ssl, m_fd);
  // Only subjectAltName names a host, as browsers hold it: a subject CN
  // that looks like a host name is no claim to be that host.
  X509_VERIFY_PARAM_set_hostflags(SSL_get0_param(ssl), X509_CHECK_FLAG_NEVER_CHECK_SUBJECT);
  if (IsAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
  } else {
    // SSL_set_tlsext_host_name, without the macro's C cast.
    SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
             const_cast<char*>(host.c_str()));
    SSL_set1_host(ssl, host.c_str());
  }
  const CSigpipeBlock block;
  for (;;) {
    errno = 0;
    const int result = SSL_connect(ssl);
    if (result == 1) return 0;
    int32_t error = 0;
    if (!Retry(result, &error)) {
      *waitFailed = error == 0;
      return error;
    }
  }
}

int32_t COpenSslSession::Read(char* buffer, int32_t size, int32_t* error) {
  for (;;) {
    size_t n = 0;
    errno = 0;
    const int result = SSL_read_ex(m_ssl.get(), buffer, static_cast<size_t>(size), &n);
    if (result == 1) return static_cast<int32_t>(n);
    const int sslError = SSL_get_error(m_ssl.get(), result);
    if (sslError == SSL_ERROR_ZERO_RETURN) return 0;
    if (sslError == SSL_ERROR_SSL && IsUnexpectedEof(ERR_peek_last_error())) {
      ERR_clear_error();
      m_cut = true;
      return 0;
    }
    if (!Retry(result, error)) return -1;
  }
}

bool COpenSslSession::Write(const char* data, int32_t size, int32_t* error) {
  const CSigpipeBlock block;
  while (size > 0) {
    size_t n = 0;
    errno = 0;
    const int result = SSL_write_ex(m_ssl.get(), data, static_cast<size_t>(size), &n);
    if (result == 1) {
      data += n;
      size -= static_cast<int32_t>(n);
    } else if (!Retry(result, error)) {
      return false;
    }
  }
  return true;
}

bool COpenSslSession::Retry(int result, int32_t* error) {
  const int sslError = SSL_get_error(m_ssl.get(), result);
  if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
    if (m_wait(sslError == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT)) return true;
    *error = 0;
    return false;
  }
  *error = FailureReason(sslError);
  ERR_clear_error();
  return false;
}

int32_t COpenSslSession::FailureReason(int sslError) const {
  const long verified = SSL_get_verify_result(m_ssl.get());
  if (verified != X509_V_OK) return VerifyReason(verified);
  if (sslError == SSL_ERROR_SYSCALL) {
    return errno != 0 ? WinsockFromErrno(errno) : kWsaConnReset;
  }
  const unsigned long queued = ERR_peek_last_error();
  if (queued == 0) return kWsaConnReset;
  return ProtocolReason(queued);
}

}  // namespace gannet

extern "C" __attribute__((visibility("default"))) gannet::CTlsSession* gannet_tls_session_new(
    int fd, gannet::CTlsSession::Wait* wait) {
  return new (std::nothrow) gannet::COpenSslSession(fd, std::move(*wait));
}
