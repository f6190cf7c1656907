// Fetches from a real nginx on 127.0.0.1, directly and through a real
// tinyproxy, both started by the test with configurations in its own
// temporary folder.

#include "ChildServer.h"
#include "GannetTest.h"

#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <memory>
#include <unistd.h>

namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

class GannetServersTest : public GannetTest {
 protected:
  static void SetUpTestSuite() {
    s_dir = testing_support::MakeDir("servers");
    for (const char* sub : {"/default", "/named", "/default/d"}) {
      testing_support::Run("mkdir -p '" + s_dir + sub + "'");
    }
    WriteFile(s_dir + "/default/a.qvr", testing_support::RandomBytes(100000, 3));
    WriteFile(s_dir + "/default/big.bin", testing_support::RandomBytes(1 << 20, 4));
    WriteFile(s_dir + "/default/d/x y.txt", "a name with a space\n");
    WriteFile(s_dir + "/default/index.html", "<html>index</html>\n");
    WriteFile(s_dir + "/default/empty.txt", "");
    WriteFile(s_dir + "/default/site.txt", "default site\n");
    WriteFile(s_dir + "/named/site.txt", "named site\n");
    WriteFile(s_dir + "/default/404.html", "<html>not here</html>\n");
    s_nginxPort = testing_support::FreePort();
    const std::string port = std::to_string(s_nginxPort);
    WriteFile(s_dir + "/nginx.conf",
              "daemon off;\nmaster_process off;\npid " + s_dir + "/nginx.pid;\n"
              "error_log " + s_dir + "/nginx.error.log;\n"
              "events { worker_connections 64; }\n"
              "http {\n"
              "  access_log " + s_dir + "/access.log;\n"
              "  client_body_temp_path " + s_dir + "/body;\n"
              "  proxy_temp_path " + s_dir + "/proxy;\n"
              "  fastcgi_temp_path " + s_dir + "/fastcgi;\n"
              "  uwsgi_temp_path " + s_dir + "/uwsgi;\n"
              "  scgi_temp_path " + s_dir + "/scgi;\n"
              "  types { text/html html; text/plain txt; }\n"
              "  default_type application/octet-stream;\n"
              "  server { listen 127.0.0.1:" + port + " default_server; root " + s_dir + "/default;\n"
              "           error_page 404 /404.html; }\n"
              "  server { listen 127.0.0.1:" + port + "; server_name localhost; root " + s_dir + "/named; }\n"
              "}\n");
    s_nginx = std::make_unique<CChildServer>(
        std::vector<std::string>{"/usr/sbin/nginx", "-e", s_dir + "/nginx.error.log", "-p",
                                 s_dir, "-c", s_dir + "/nginx.conf"},
        s_nginxPort, s_dir + "/nginx.out");

    s_proxyPort = testing_support::FreePort();
    WriteFile(s_dir + "/tinyproxy.conf", "Port " + std::to_string(s_proxyPort) +
                                             "\nListen 127.0.0.1\nAllow 127.0.0.1\n"
                                             "Timeout 30\nLogLevel Info\nMaxClients 8\n");
    s_proxy = std::make_unique<CChildServer>(
        std::vector<std::string>{"/usr/bin/tinyproxy", "-d", "-c", s_dir + "/tinyproxy.conf"},
        s_proxyPort, s_dir + "/tinyproxy.log");
  }

  static void TearDownTestSuite() {
    s_proxy.reset();
    s_nginx.reset();
  }

  static std::string Url(const std::string& host, const std::string& path) {
    return "http://" + host + ":" + std::to_string(s_nginxPort) + path;
  }

  void UseProxy() {
    WriteIni("[proxy information]\nhttp_proxy=http://127.0.0.1:" + std::to_string(s_proxyPort) +
             "/\n");
  }

  // Fetches every case and checks what arrived; true through the proxy.
  void FetchAll(bool viaProxy);

  static std::string s_dir;
  static int s_nginxPort;
  static int s_proxyPort;
  static std::unique_ptr<CChildServer> s_nginx;
  static std::unique_ptr<CChildServer> s_proxy;
};

std::string GannetServersTest::s_dir;
int GannetServersTest::s_nginxPort = 0;
int GannetServersTest::s_proxyPort = 0;
std::unique_ptr<CChildServer> GannetServersTest::s_nginx;
std::unique_ptr<CChildServer> GannetServersTest::s_proxy;

void GannetServersTest::FetchAll(bool viaProxy) {
  struct Case {
    std::string url;
    std::string file;  // served file that must arrive, "" for none
    std::string body;  // expected content when file is ""
  } cases[] = {
      {Url("127.0.0.1", "/a.qvr"), "/default/a.qvr", ""},
      {Url("127.0.0.1", "/big.bin"), "/default/big.bin", ""},
      {Url("127.0.0.1", "/d/x y.txt"), "/default/d/x y.txt", ""},
      {Url("127.0.0.1", "/empty.txt"), "/default/empty.txt", ""},
      {Url("127.0.0.1", "/index.html?q=1"), "/default/index.html", ""},
      // One server, two sites: the Host header picks the right one.
      {Url("127.0.0.1", "/site.txt"), "/default/site.txt", ""},
      {Url("LOCALHOST", "/site.txt"), "/named/site.txt", ""},
  };
  for (const Case& c : cases) {
    const FetchResult r = Fetch(c.url);
    ASSERT_EQ(0, r.code) << c.url << ": " << r.message << " " << r.info.statusLine;
    EXPECT_EQ("HTTP/1.1 200 OK\r", std::string(r.info.statusLine)) << c.url;
    const std::string expected = ReadFile(s_dir + c.file);
    EXPECT_TRUE(ReadFile(r.localName) == expected) << c.url << (viaProxy ? " via proxy" : "");
    EXPECT_EQ(static_cast<int32_t>(expected.size()), r.info.fileLength) << c.url;
    unlink(r.localName.c_str());
  }
  const FetchResult missing = Fetch(Url("127.0.0.1", "/missing.qvr"));
  EXPECT_EQ(7, missing.code);
  EXPECT_EQ(404, missing.info.statusCode);
  EXPECT_EQ("HTTP/1.1 404 Not Found\r", std::string(missing.info.statusLine));
  // The driver stops at an error status, keeping what came with the header
  // block: nginx sends the page with it, tinyproxy passes it on in pieces.
  const std::string page = ReadFile(s_dir + "/default/404.html");
  const std::string kept =
      testing_support::Exists(missing.localName) ? ReadFile(missing.localName) : "";
  if (viaProxy) {
    EXPECT_EQ(page.substr(0, kept.size()), kept);
  } else {
    EXPECT_EQ(page, kept);
  }
  unlink(missing.localName.c_str());
}

}  // namespace

TEST_F(GannetServersTest, FetchesFromNginx) { FetchAll(false); }

TEST_F(GannetServersTest, FetchesThroughTinyproxy) {
  UseProxy();
  FetchAll(true);
  // The proxy was asked for the whole URL.
  EXPECT_NE(std::string::npos,
            ReadFile(s_dir + "/tinyproxy.log").find("GET " + Url("127.0.0.1", "/d/x%20y.txt")));
}

TEST_F(GannetServersTest, ContentTypeNamesTheLocalFile) {
  WriteIni("[contenttype]\ntext/html=.htm\napplication/octet-stream=.bin\n");
  struct Case {
    std::string path;
    std::string suffix;
  } cases[] = {{"/index.html", ".htm"}, {"/a.qvr", ".bin"}, {"/site.txt", ".tmp"}};
  for (const Case& c : cases) {
    const FetchResult r = Fetch(Url("127.0.0.1", c.path));
    ASSERT_EQ(0, r.code) << c.path;
    EXPECT_EQ(c.suffix, r.localName.substr(r.localName.size() - 4)) << c.path;
    EXPECT_EQ(r.constructedName.substr(0, r.constructedName.size() - 4),
              r.localName.substr(0, r.localName.size() - 4));
    EXPECT_TRUE(ReadFile(r.localName) == ReadFile(s_dir + "/default" + c.path)) << c.path;
    unlink(r.localName.c_str());
  }
}
