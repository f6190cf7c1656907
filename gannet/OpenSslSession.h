#pragma once
// The TLS session of OpenSSL 3 (contract in TlsSession.h). Built into the
// module libgannet-tls only, which exports its factory.

#include "TlsSession.h"

typedef struct ssl_st SSL;
typedef struct ssl_ctx_st SSL_CTX;

namespace gannet {

class COpenSslSession final : public CTlsSession {
 public:
  COpenSslSession(int fd, Wait wait);
  ~COpenSslSession() override;
  COpenSslSession(const COpenSslSession&) = delete;
  COpenSslSession& operator=(const COpenSslSession&) = delete;

  int32_t Handshake(const std::string& host, const std::string& caFile,
                    bool* waitFailed) override;
  int32_t Read(char* buffer, int32_t size, int32_t* error) override;
  bool Cut() const override { return m_cut; }
  bool Write(const char* data, int32_t size, int32_t* error) override;

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
