#include "TlsReplyServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kLifetimeMs = 60000;

}  // namespace

CTlsReplyServer::CTlsReplyServer(const testing_support::CTestCa::Issued& identity,
                                 std::string reply, End end)
    : m_reply(std::move(reply)),
      m_end(end),
      m_context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free) {
  if (!m_context ||
      SSL_CTX_use_certificate_file(m_context.get(), identity.certificate.c_str(),
                                   SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_use_PrivateKey_file(m_context.get(), identity.key.c_str(), SSL_FILETYPE_PEM) != 1) {
    throw std::runtime_error("TLS reply server cannot load its identity");
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof addr;
  auto* any = reinterpret_cast<sockaddr*>(&addr);
  m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (m_listen < 0 || bind(m_listen, any, size) != 0 || listen(m_listen, 8) != 0 ||
      getsockname(m_listen, any, &size) != 0 || pipe2(m_stop, O_CLOEXEC) != 0) {
    if (m_listen >= 0) close(m_listen);
    throw std::runtime_error("TLS reply server cannot listen");
  }
  m_port = ntohs(addr.sin_port);
  m_thread = std::thread([this] { Serve(); });
}

CTlsReplyServer::~CTlsReplyServer() {
  (void)!write(m_stop[1], "x", 1);
  m_thread.join();
  close(m_listen);
  close(m_stop[0]);
  close(m_stop[1]);
}

std::string CTlsReplyServer::Url(const std::string& path) const {
  return "https://127.0.0.1:" + std::to_string(m_port) + path;
}

void CTlsReplyServer::Serve() {
  // OpenSSL writes with write(); a client gone early must not end the test.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLifetimeMs);
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p[2] = {{m_listen, POLLIN, 0}, {m_stop[0], POLLIN, 0}};
    if (left.count() <= 0 || poll(p, 2, static_cast<int>(left.count())) <= 0 ||
        (p[1].revents & POLLIN)) {
      return;
    }
    const int fd = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    Answer(fd);
    close(fd);
  }
}

void CTlsReplyServer::Answer(int fd) {
  const std::unique_ptr<SSL, void (*)(SSL*)> ssl(SSL_new(m_context.get()), SSL_free);
  if (!ssl || SSL_set_fd(ssl.get(), fd) != 1 || SSL_accept(ssl.get()) != 1) return;
  std::string request;
  char buffer[4096];
  size_t n = 0;
  while (request.find("\r\n\r\n") == std::string::npos &&
         SSL_read_ex(ssl.get(), buffer, sizeof buffer, &n) == 1) {
    request.append(buffer, n);
  }
  if (SSL_write_ex(ssl.get(), m_reply.data(), m_reply.size(), &n) != 1) return;
  if (m_end == End::kCloseNotify) SSL_shutdown(ssl.get());
}
