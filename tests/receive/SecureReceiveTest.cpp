// Opening pointer files whose URLs lead over https: straight to a TLS
// server, through a redirect from http, and from Apache. The file arrives,
// is decoded and opened; a certificate that cannot be trusted gives one
// message naming that cause and leaves nothing behind.

#include "ReceiveFixture.h"

#include "support/ApacheServer.h"
#include "support/TestCa.h"

using namespace testing_support;

namespace {

TEST_F(ReceiveTest, HttpsPointerFilesOpen) {
  CTestCa ca;
  const auto cert = ca.Issue("DNS:localhost");
  const int tlsPort = FreePort();
  const std::string tls = "https://localhost:" + std::to_string(tlsPort) + "/";
  CNginxServer nginx(published, "rewrite ^/to-tls/(.*)$ " + tls + "$1 permanent;", "", 300,
                     "server { listen 127.0.0.1:" + std::to_string(tlsPort) + " ssl; root " +
                         published + "; ssl_certificate " + cert.certificate +
                         "; ssl_certificate_key " + cert.key + "; }\n");
  std::unique_ptr<CApacheServer> apache;
  if (CApacheServer::Available()) apache = std::make_unique<CApacheServer>(published);

  UseCopierGrace();
  const std::string pointer = Send("report.txt", "quarterly figures", 1, 1);
  const std::string untrusted =
      "The certificate chain was issued by an authority that is not trusted. To trust the "
      "authority that issued the server's certificate, name its PEM bundle as cafile in section "
      "[network] of " + TestRoot() + "/config/w3skua.ini.";
  const struct {
    std::string url;  // "" when the server is missing here
    bool trusted;
    std::string reason;  // "" when the file opens
  } cases[] = {
      {tls + "report.txt", true, ""},
      {nginx.BaseUrl() + "to-tls/report.txt", true, ""},
      {apache ? apache->BaseUrl() + "report.txt" : "", true, ""},
      {tls + "report.txt", false, untrusted},
  };
  for (const auto& c : cases) {
    if (c.url.empty()) continue;
    SCOPED_TRACE(c.url);
    WriteFile(TestRoot() + "/config/w3skua.ini",
              "[network]\ntimeout=10\n" + (c.trusted ? "cafile=" + ca.CaFile() + "\n" : ""));
    CPointerDoc doc;
    ASSERT_TRUE(doc.ReadFromFile(pointer));
    doc.SetUrl(c.url);
    ASSERT_TRUE(doc.WriteToFile(pointer));
    CRecordingUserInterface ui;
    FetchAndLaunch(pointer, 1, ui);
    if (c.reason.empty()) {
      EXPECT_EQ(ui.events, std::vector<std::string>());
      EXPECT_EQ(ReadFile(copies + "/copy0"), "quarterly figures");
    } else {
      EXPECT_EQ(ui.events, std::vector<std::string>(
                               {"warning: Problem fetching " + c.url + ": " + c.reason}));
    }
    EXPECT_EQ(TempFiles(), std::vector<std::string>());
    testing_support::Run("rm -f '" + copies + "'/*");
  }
  WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=10\n");
}

}  // namespace
