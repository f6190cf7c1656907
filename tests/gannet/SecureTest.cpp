// https and redirects against real servers on 127.0.0.1: nginx with TLS
// ports whose certificates come from a throw-away CA made by the openssl
// command line, Apache with its default strictness, tinyproxy tunnelling
// https with CONNECT, a TLS peer that ends its answers with or without
// close_notify, and the C test program over https.

#include "ChildServer.h"
#include "GannetTest.h"
#include "ScriptedServer.h"
#include "TlsReplyServer.h"

#include "support/ApacheServer.h"
#include "support/NginxServer.h"
#include "support/TestCa.h"
#include "support/TestFiles.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace testing_support;

const std::string kBody = "served over the wire\n";
const std::string kUntrusted = "The certificate chain was issued by an authority that is not trusted.";
const std::string kWrongPrincipal = "The target principal name is incorrect.";
const std::string kRedirectFailed = "The HTTP redirect request failed.";
// Only for the password "ann:secret".
const std::string kPrivate =
    " location = /private.txt { if ($http_authorization != \"Basic YW5uOnNlY3JldA==\") {"
    " return 401; } try_files /file.txt =404; }";
enum Tls { kGood, kWrongName, kNameInSubject, kExpired, kStranger, kOldProtocol, kTlsPorts };

// The secure channel's reasons come as the signed form of their SEC_E_ numbers.
constexpr int32_t Sec(uint32_t number) { return static_cast<int32_t>(number); }

struct Servers {
  CTestCa ca, stranger;
  std::string root = MakeDir("site");
  int tls[kTlsPorts] = {};
  std::unique_ptr<CNginxServer> nginx;

  std::string TlsServer(Tls which, const CTestCa::Issued& cert, const std::string& extra = "") {
    return "server { listen 127.0.0.1:" + std::to_string(tls[which]) + " ssl; root " + root +
           "; ssl_certificate " + cert.certificate + "; ssl_certificate_key " + cert.key + ";" +
           extra + " location = /down { return 302 http://localhost/file.txt; } }\n";
  }
};
Servers* s = nullptr;

class GannetSecureTest : public GannetTest {
 protected:
  static void SetUpTestSuite() {
    s = new Servers;
    WriteFile(s->root + "/file.txt", kBody);
    for (int& port : s->tls) port = FreePort();
    const auto good = s->ca.Issue("DNS:localhost,IP:127.0.0.1");
    const std::string redirects =
        "location ~ ^/hop/(.*)$ { return 302 /$1; } location = /loop { return 302 /loop; }\n"
        "location = /to-https { return 301 " + Https(kGood, "/file.txt") + "; }\n"
        "location = /see-other { absolute_redirect off; return 303 /dir/../file.txt; }\n"
        "location = /temporary { return 307 /file.txt; }\n"
        "location = /permanent { return 308 /file.txt; }\n";
    s->nginx = std::make_unique<CNginxServer>(
        s->root, redirects, "", 300,
        s->TlsServer(kGood, good, kPrivate) + s->TlsServer(kWrongName, s->ca.Issue("DNS:elsewhere.example")) +
            s->TlsServer(kNameInSubject, s->ca.IssueNamedInSubject("localhost")) +
            s->TlsServer(kExpired, s->ca.Issue("DNS:localhost", true)) +
            s->TlsServer(kStranger, s->stranger.Issue("DNS:localhost")) +
            s->TlsServer(kOldProtocol, good, " ssl_protocols TLSv1; ssl_ciphers DEFAULT@SECLEVEL=0;"));
  }
  static void TearDownTestSuite() {
    delete s;
    s = nullptr;
  }

  static std::string Https(Tls which, const std::string& path, const std::string& host = "localhost") {
    return "https://" + host + ":" + std::to_string(s->tls[which]) + path;
  }
  static std::string Http(const std::string& path) { return s->nginx->BaseUrl() + path.substr(1); }
  static void TrustTestCa(const std::string& more = "") {
    WriteIni("[network]\ntimeout=5\ncafile=" + s->ca.CaFile() + "\n" + more);
  }

  // A fetch of url ends in error (0: the file arrived whole, as the final
  // answer of the URL asked for), and a failure leaves nothing behind.
  static void ExpectOutcome(const std::string& url, int32_t error, const std::string& text) {
    SCOPED_TRACE(url);
    const FetchResult r = Fetch(url);
    if (error == 0) {
      ASSERT_EQ(0, r.code) << r.message;
      EXPECT_EQ(kBody, ReadFile(r.localName));
      EXPECT_EQ(url, std::string(r.info.url));
      EXPECT_EQ("HTTP/1.1 200 OK\r", std::string(r.info.statusLine));
      unlink(r.localName.c_str());
    } else {
      EXPECT_EQ(SocketMessage(error, text), r.message);
    }
    EXPECT_EQ(std::vector<std::string>(), ListDir(std::getenv("TMPDIR")));
  }
};

TEST_F(GannetSecureTest, CertificatesAreVerified) {
  const struct {
    std::string url;
    bool trustTestCa;
    int32_t error;
    std::string text;
  } cases[] = {
      {Https(kGood, "/file.txt"), true, 0, ""},
      {Https(kGood, "/file.txt", "127.0.0.1"), true, 0, ""},
      {Https(kGood, "/file.txt"), false, Sec(0x80090325u), kUntrusted},
      {Https(kStranger, "/file.txt"), true, Sec(0x80090325u), kUntrusted},
      {Https(kWrongName, "/file.txt"), true, Sec(0x80090322u), kWrongPrincipal},
      {Https(kNameInSubject, "/file.txt"), true, Sec(0x80090322u), kWrongPrincipal},
      {Https(kExpired, "/file.txt"), true, Sec(0x80090328u), "The received certificate has expired."},
      {Https(kOldProtocol, "/file.txt"), true, Sec(0x80090331u),
       "The client and server cannot communicate, because they do not possess a common algorithm."},
      {"https" + Http("/file.txt").substr(4), true, Sec(0x80090326u),
       "The message received was unexpected or badly formatted."},
  };
  for (const auto& c : cases) {
    if (c.trustTestCa) TrustTestCa(); else WriteIni("");
    ExpectOutcome(c.url, c.error, c.text);
  }
  // The trust store named by the environment serves as well as cafile, also
  // for the C test program, which keeps its settings folder to itself.
  WriteIni("");
  setenv("SSL_CERT_FILE", s->ca.CaFile().c_str(), 1);
  ExpectOutcome(Https(kGood, "/file.txt"), 0, "");
  EXPECT_EQ(0, testing_support::Run(std::string(GANNET_C_TEST) + " " + Https(kGood, "/file.txt") + " " + s->root +
                   "/file.txt"));
  unsetenv("SSL_CERT_FILE");
}

// A library installed without its TLS module still fetches over http, and
// over https fails with the reason instead of crashing.
TEST_F(GannetSecureTest, WithoutItsTlsModuleHttpsFailsWithTheReason) {
  const std::string lone = MakeDir("lone"), out = lone + "/out.txt";
  std::filesystem::copy_file(GANNET_LIBRARY, lone + "/libgannet.so.1");
  const std::string run = "LD_LIBRARY_PATH=" + lone + " " + GANNET_C_TEST + " ";
  EXPECT_EQ(0, testing_support::Run(run + Http("/file.txt") + " " + s->root + "/file.txt"));
  EXPECT_NE(0, testing_support::Run(run + Https(kGood, "/file.txt") + " " + s->root +
                                    "/file.txt 2> " + out));
  EXPECT_NE(std::string::npos,
            ReadFile(out).find("The requested security package does not exist."))
      << ReadFile(out);
}

TEST_F(GannetSecureTest, RedirectsAreFollowedWithinLimits) {
  TrustTestCa();
  std::string tenHops;
  for (int i = 0; i < 10; ++i) tenHops += "/hop";
  const struct {
    std::string url;
    int32_t error;
    std::string text;
  } cases[] = {
      {Http("/to-https"), 0, ""},
      {Http("/see-other"), 0, ""},
      {Http("/temporary"), 0, ""},
      {Http("/permanent"), 0, ""},
      {Http(tenHops + "/file.txt"), 0, ""},
      {Http("/hop" + tenHops + "/file.txt"), 12156, kRedirectFailed},
      {Http("/loop"), 12156, kRedirectFailed},
      {Https(kGood, "/down"), 12040, "The application is moving from a secure to a non-secure site."},
  };
  for (const auto& c : cases) ExpectOutcome(c.url, c.error, c.text);
}

TEST_F(GannetSecureTest, HttpsGoesThroughTinyproxyInATunnel) {
  const std::string dir = MakeDir("tinyproxy");
  const int port = FreePort();
  WriteFile(dir + "/tinyproxy.conf", "Port " + std::to_string(port) +
                                         "\nListen 127.0.0.1\nAllow 127.0.0.1\nLogLevel Info\n"
                                         "ConnectPort " + std::to_string(s->tls[kGood]) + "\n");
  CChildServer proxy({"/usr/bin/tinyproxy", "-d", "-c", dir + "/tinyproxy.conf"}, port,
                     dir + "/tinyproxy.log");
  // A proxy written without a scheme.
  TrustTestCa("[proxy information]\nhttp_proxy=127.0.0.1:" + std::to_string(port) + "\n");
  ExpectOutcome(Https(kGood, "/file.txt"), 0, "");
  // A password crosses the proxy inside the tunnel, and reaches the origin.
  ExpectOutcome(Https(kGood, "/private.txt", "ann:secret@localhost"), 0, "");
  const FetchResult anonymous = Fetch(Https(kGood, "/private.txt"));
  unlink(anonymous.localName.c_str());
  EXPECT_EQ(401, anonymous.info.statusCode);
  EXPECT_NE(std::string::npos, ReadFile(dir + "/tinyproxy.log")
                                   .find("CONNECT localhost:" + std::to_string(s->tls[kGood])));
}

TEST_F(GannetSecureTest, ApacheServesOverHttpAndTls) {
  if (!CApacheServer::Available()) GTEST_SKIP() << "no apache2-bin";
  const int tlsPort = FreePort();
  const auto cert = s->ca.Issue("DNS:localhost");
  const std::string port = std::to_string(tlsPort);
  const std::string tls = "https://localhost:" + port + "/file.txt";
  CApacheServer apache(s->root, "Listen 127.0.0.1:" + port + "\n<VirtualHost 127.0.0.1:" + port +
                                    ">\n SSLEngine on\n SSLCertificateFile " + cert.certificate +
                                    "\n SSLCertificateKeyFile " + cert.key +
                                    "\n</VirtualHost>\nRedirect 301 /old " + tls + "\n");
  TrustTestCa();
  for (const std::string& url : {apache.BaseUrl() + "file.txt", tls, apache.BaseUrl() + "old"}) {
    ExpectOutcome(url, 0, "");
  }
}

// A body without a length is whole only when TLS ends it with close_notify;
// an end without one may be a cut made on the way and fails as any cut body
// does. A body of a known length is whole either way.
TEST_F(GannetSecureTest, OnlyCloseNotifyEndsABodyWithoutLength) {
  TrustTestCa();
  const auto identity = s->ca.Issue("IP:127.0.0.1");
  const std::string head = "HTTP/1.0 200 OK\r\n";
  const std::string length = "Content-Length: " + std::to_string(kBody.size()) + "\r\n";
  using End = CTlsReplyServer::End;
  const struct {
    std::string reply;
    End end;
    bool whole;
  } cases[] = {
      {head + "\r\n" + kBody, End::kCloseNotify, true},
      {head + "\r\n" + kBody, End::kCut, false},
      {head + length + "\r\n" + kBody, End::kCut, true},
  };
  for (const auto& c : cases) {
    CTlsReplyServer server(identity, c.reply, c.end);
    const FetchResult r = Fetch(server.Url("/file.txt"));
    EXPECT_EQ(c.whole ? 0 : 7, r.code) << c.reply << r.message;
    EXPECT_EQ(c.whole ? 1 : 0, r.info.completed);
    EXPECT_EQ(kBody, ReadFile(r.localName));
    unlink(r.localName.c_str());
  }
}

// A name whose IPv6 address drops connection attempts (a listener on ::1
// whose queue is full) and whose IPv4 address serves, given by a private
// hosts file in a private mount namespace: the C program fetches at once.
TEST_F(GannetSecureTest, ADeadIpv6AddressDoesNotHoldUpTheLiveIpv4One) {
  if (testing_support::Run("unshare -rm true 2>/dev/null") != 0) GTEST_SKIP() << "no private namespaces here";
  CScriptedServer live("HTTP/1.0 200 OK\r\n\r\n" + kBody);
  sockaddr_in6 hole{};
  hole.sin6_family = AF_INET6;
  hole.sin6_port = htons(static_cast<uint16_t>(live.Port()));
  hole.sin6_addr = in6addr_loopback;
  int fds[4];
  fds[0] = socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (bind(fds[0], reinterpret_cast<sockaddr*>(&hole), sizeof hole) != 0) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  listen(fds[0], 0);
  for (int i = 1; i < 4; ++i) {
    fds[i] = socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    connect(fds[i], reinterpret_cast<sockaddr*>(&hole), sizeof hole);
  }
  usleep(50000);
  const std::string hosts = MakeDir("hosts") + "/hosts";
  WriteFile(hosts, "::1 dualstack.test\n127.0.0.1 dualstack.test\n");
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(0, testing_support::Run("unshare -rm sh -c \"mount --bind " + hosts + " /etc/hosts && exec " +
                   GANNET_C_TEST + " http://dualstack.test:" + std::to_string(live.Port()) +
                   "/f " + s->root + "/file.txt\""));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  for (int fd : fds) close(fd);
}

}  // namespace
