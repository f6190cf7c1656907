// The library's inner pieces on their own: URL splitting, the settings
// reader, the content-type table, the socket error table and the address
// list walk of the socket.

#include "ContentTypeTable.h"
#include "HttpRequest.h"
#include "IniFile.h"
#include "TcpSocket.h"
#include "UrlParser.h"
#include "WinsockErrors.h"

#include "support/TestFiles.h"

#include <arpa/inet.h>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>

#include <filesystem>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

using namespace gannet;

namespace {

std::string IniPath() { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/w3skua.ini"; }

// A listening socket on 127.0.0.1; port() is where it listens.
class CListener {
 public:
  explicit CListener(int backlog = 4) : m_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    m_addr.sin_family = AF_INET;
    m_addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof m_addr;
    bind(m_fd, reinterpret_cast<sockaddr*>(&m_addr), sizeof m_addr);
    listen(m_fd, backlog);
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&m_addr), &size);
  }
  ~CListener() { Close(); }
  void Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
  }
  sockaddr_in& addr() { return m_addr; }

 private:
  int m_fd;
  sockaddr_in m_addr{};
};

// A listener whose queue is full: further connection attempts hang, as
// those to an address that drops packets do.
class CBlackHole {
 public:
  CBlackHole() : m_listener(0) {
    for (int& fd : m_queued) {
      fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      connect(fd, reinterpret_cast<sockaddr*>(&m_listener.addr()), sizeof(sockaddr_in));
    }
    usleep(50000);
  }
  ~CBlackHole() {
    for (int fd : m_queued) close(fd);
  }
  sockaddr_in& addr() { return m_listener.addr(); }

 private:
  CListener m_listener;
  int m_queued[3] = {};
};

addrinfo Address(sockaddr_in* addr) {
  addrinfo a{};
  a.ai_family = AF_INET;
  a.ai_socktype = SOCK_STREAM;
  a.ai_addr = reinterpret_cast<sockaddr*>(addr);
  a.ai_addrlen = sizeof(sockaddr_in);
  return a;
}

}  // namespace

TEST(GannetUrlTest, RedirectTargetsResolveAsRfc3986Says) {
  const std::string base = "http://a/b/c/d;p?q#f";
  const struct {
    std::string reference;
    std::string resolved;  // "" when refused
  } cases[] = {
      {"g", "http://a/b/c/g"},          {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},        {"/g", "http://a/g"},
      {"//g", "http://g"},              {"?y", "http://a/b/c/d;p?y"},
      {"g?y#s", "http://a/b/c/g?y"},    {"", "http://a/b/c/d;p?q"},
      {"../g", "http://a/b/g"},         {"../../../g", "http://a/g"},
      {"/./g/.././h", "http://a/h"},    {"HTTPS://x/y#z", "HTTPS://x/y"},
      {"ftp://x/y", ""},                {"file:///etc/passwd", ""},
      {"javascript:alert(1)", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.resolved, ResolveReference(base, c.reference).value_or("")) << c.reference;
  }
}

// Beside a live address a slow one is left behind (see the secure suite);
// alone, it meets the time limit.
TEST(GannetSocketTest, ASlowAddressAloneMeetsTheTimeLimit) {
  CBlackHole hole;
  addrinfo only = Address(&hole.addr());
  CTcpSocket limited(1);
  limited.Init(0, 1092);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(-1, limited.ConnectAddresses(&only));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(10060, limited.LastError());
}

TEST(GannetUrlTest, HostAndPathParts) {
  struct Case {
    std::string url;
    std::string host;  // ParseUrl with the host flag
    std::string path;  // ParseUrl with path and punctuation
  } cases[] = {
      {"http://MyHost/Dir/File.qvr", "myhost", "/Dir/File.qvr"},
      {"http://host", "host", "/"},
      {"http://host/", "host", "/"},
      {"http://host:8080/x", "host:8080", "/x"},
      {"http://host/a/b?q=1#frag", "host", "/a/b?q=1#frag"},
      {"http:/x/y", "", "/x/y"},
      {"http://User:Pw@Host.Example/x", "User:Pw@host.example", "/x"},
      {"http://name.:8080/x", "name:8080", "/x"},
      {"http://name./x", "name", "/x"},
      {"http://a./x", "a.", "/x"},  // too short to lose its dot
      {"http://host:8080+/x", "host:8080", "/x"},
      {"//host+/x", "host+", "/x"},  // no scheme: the "+" stays
      {"relative/path", "", "relative/path"},
      {"/absolute", "", "/absolute"},
      {"http://h/x#a/b:c", "h", "/x#a/b:c"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.host, ParseUrl(c.url, "", kParseHost).value()) << c.url;
    EXPECT_EQ(c.path, ParseUrl(c.url, "", kParsePath | kParsePunctuation).value()) << c.url;
  }
  EXPECT_FALSE(ParseUrl("", "", kParseHost).has_value());
}

TEST(GannetUrlTest, ScanFindsSchemeHostAndPaths) {
  UrlParts parts;
  EXPECT_EQ(-1, ScanUrl("", &parts));
  EXPECT_FALSE(parts.scheme || parts.host || parts.absolutePath || parts.relativePath);
  ASSERT_EQ(0, ScanUrl("a:b:c/d", &parts));
  EXPECT_EQ("a", parts.scheme.value());
  EXPECT_EQ("c/d", parts.relativePath.value());
  ASSERT_EQ(0, ScanUrl("http://h", &parts));
  EXPECT_EQ("h", parts.host.value());
  EXPECT_FALSE(parts.absolutePath.has_value());
  ASSERT_EQ(0, ScanUrl("x#y:z", &parts));
  EXPECT_FALSE(parts.scheme.has_value());
  EXPECT_EQ("x#y:z", parts.relativePath.value());
}

TEST(GannetUrlTest, HostPortSplit) {
  struct Case {
    std::string hostPart;
    std::string name;
    int32_t port;
    bool named;
  } cases[] = {
      {"host", "host", 80, false},        {"host:8080", "host", 8080, true},
      {"host:80", "host", 80, true},      {"host:", "host", 0, false},
      {"host:12ab", "host", 12, true},    {"user:pw@host", "user", 0, false},
      {"[::1]:8080", "::1", 8080, true},  {"[::1]", "::1", 80, false},
      {"h:99999999999", "h", INT32_MAX, true}, {"", "", 80, false},
  };
  for (const Case& c : cases) {
    const HostPort hp = SplitHostPort(c.hostPart);
    EXPECT_EQ(c.name, hp.name) << c.hostPart;
    EXPECT_EQ(c.port, hp.port) << c.hostPart;
    EXPECT_EQ(c.named, hp.named) << c.hostPart;
  }
  // https is driven as plain http, on port 80 unless the URL names one.
  EXPECT_EQ(80, SplitHostPort(ParseUrl("https://host/x", "", kParseHost).value()).port);
}

TEST(GannetIniTest, SectionsAndKeysIgnoreCase) {
  testing_support::WriteFile(IniPath(),
                             "; comment\r\n"
                             "[Proxy Information]\r\n"
                             "  HTTP_PROXY  =  http://p:3128/  \r\n"
                             ";http_proxy=commented\n"
                             "[contenttype]\n"
                             "text/html=.htm\n"
                             "Text/HTML=.HTM\n"
                             "no equals sign\n"
                             "empty=\n"
                             "[other]\n"
                             "text/plain=.txt\n");
  const CIniFile ini("w3skua.ini");
  EXPECT_EQ(IniPath(), ini.Path());
  EXPECT_EQ("http://p:3128/", ini.GetString("proxy information", "http_proxy", "d"));
  EXPECT_EQ("d", ini.GetString("proxy information", "missing", "d"));
  EXPECT_EQ("d", ini.GetString("no such section", "http_proxy", "d"));
  EXPECT_EQ(".htm", ini.GetString("CONTENTTYPE", "TEXT/HTML", "d"));
  EXPECT_EQ("", ini.GetString("contenttype", "empty", "d"));
  using Entries = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ((Entries{{"text/html", ".htm"}, {"Text/HTML", ".htm"}, {"empty", ""}}),
            ini.GetSection("contenttype"));
  EXPECT_TRUE(ini.GetSection("absent").empty());
}

TEST(GannetIniTest, FallsBackToTheSystemFile) {
  unlink(IniPath().c_str());
  EXPECT_EQ("/etc/w3skua.ini", CIniFile("w3skua.ini").Path());
}

// A relative XDG_CONFIG_HOME counts for nothing, even where it names a
// folder that holds the file.
TEST(GannetIniTest, IgnoresARelativeConfigHome) {
  namespace fs = std::filesystem;
  const std::string xdg = std::getenv("XDG_CONFIG_HOME");
  const fs::path relative = testing_support::MakeDir("rel");
  const fs::path home = fs::path(std::getenv("HOME")) / ".config/w3skua.ini";
  fs::create_directories(home.parent_path());
  for (const fs::path& file : {relative / "w3skua.ini", home}) testing_support::WriteFile(file, "");
  const fs::path cwd = fs::current_path();
  fs::current_path(relative.parent_path());
  setenv("XDG_CONFIG_HOME", relative.filename().c_str(), 1);
  const std::string found = CIniFile("w3skua.ini").Path();
  setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  fs::current_path(cwd);
  fs::remove(home);
  EXPECT_EQ(home, found);
}

TEST(GannetContentTypeTest, FirstWordIsLookedUpCaseSensitively) {
  std::string text = "[contenttype]\ntext/html=.htm\nText/Plain=.txt\nimage/gif=.gif\n";
  for (int i = 0; i < 60; ++i) {
    text += "type/k" + std::to_string(i) + "=.e" + std::to_string(i) + "\n";
  }
  testing_support::WriteFile(IniPath(), text);
  CContentTypeTable* table = CContentTypeTable::AddRef(CIniFile("w3skua.ini"));
  ASSERT_NE(nullptr, table);
  struct Case {
    std::string type;
    bool found;
    std::string extension;
    std::string after;  // the content type after the lookup
  } cases[] = {
      {" image/gif\r", true, ".gif", " image/gif"},
      {"text/html ;level=1", true, ".htm", "text/html"},
      {"text/html;level=1", false, "", "text/html;level=1"},
      {"text/plain", false, "", "text/plain"},
      {"\t\ttext/html\n", true, ".htm", "\t\ttext/html"},
      {"type/k47", true, ".e47", "type/k47"},  // the 51st key
      {"type/k48", false, "", "type/k48"},
      {"   ", false, "", "   "},
  };
  for (Case c : cases) {
    std::string extension = "unset";
    std::string type = c.type;
    EXPECT_EQ(c.found, table->Lookup(&type, &extension)) << c.type;
    if (c.found) {
      EXPECT_EQ(c.extension, extension) << c.type;
    }
    EXPECT_EQ(c.after, type) << c.type;
  }
  // A second reference shares the table; after the last release a new one
  // is loaded from the file again.
  EXPECT_EQ(table, CContentTypeTable::AddRef(CIniFile("w3skua.ini")));
  table->Release();
  EXPECT_EQ(table, CContentTypeTable::Shared());
  table->Release();
  EXPECT_EQ(nullptr, CContentTypeTable::Shared());
}

TEST(GannetWinsockTest, TextsAndTranslations) {
  EXPECT_STREQ("Connection refused", WinsockErrorText(10061));
  EXPECT_STREQ("Operation was successful", WinsockErrorText(0));
  EXPECT_STREQ("Connection died (9)", WinsockErrorText(10009));
  EXPECT_STREQ("Socket disconnected", WinsockErrorText(10101));
  EXPECT_STREQ("No data record of requested type", WinsockErrorText(11004));
  EXPECT_STREQ("Unknown WinSock Error", WinsockErrorText(10035));
  EXPECT_STREQ("Unknown WinSock Error", WinsockErrorText(12345));
  struct Case {
    int error;
    int32_t code;
  } errnos[] = {{ECONNREFUSED, 10061}, {ETIMEDOUT, 10060}, {ECONNRESET, 10054},
                {EPIPE, 10058},        {ESHUTDOWN, 10058}, {EAGAIN, 10035},
                {EBADF, 10009},        {EHOSTUNREACH, 10065}};
  for (const Case& c : errnos) EXPECT_EQ(c.code, WinsockFromErrno(c.error)) << c.error;
  EXPECT_EQ(11001, WinsockFromLookup(EAI_NONAME, 0));
  EXPECT_EQ(11002, WinsockFromLookup(EAI_AGAIN, 0));
  EXPECT_EQ(11003, WinsockFromLookup(EAI_FAIL, 0));
  EXPECT_EQ(11004, WinsockFromLookup(EAI_NODATA, 0));
  EXPECT_EQ(10061, WinsockFromLookup(EAI_SYSTEM, ECONNREFUSED));
}

TEST(GannetSocketTest, EveryAddressIsTriedInOrder) {
  CListener refusing;
  sockaddr_in closed = refusing.addr();
  refusing.Close();
  CListener open;
  addrinfo second{};
  second.ai_family = AF_INET;
  second.ai_socktype = SOCK_STREAM;
  second.ai_addr = reinterpret_cast<sockaddr*>(&open.addr());
  second.ai_addrlen = sizeof(sockaddr_in);
  addrinfo first = second;
  first.ai_addr = reinterpret_cast<sockaddr*>(&closed);
  first.ai_next = &second;

  CTcpSocket socket(5);
  ASSERT_EQ(0, socket.Init(0, 1092));
  EXPECT_EQ(0, socket.ConnectAddresses(&first));
  second.ai_next = nullptr;
  first.ai_next = nullptr;
  EXPECT_EQ(-1, socket.ConnectAddresses(&first));
  EXPECT_EQ(10061, socket.LastError());
  EXPECT_STREQ("Connection refused", socket.ErrorText());
  // A new connection's outcome is its own.
  EXPECT_EQ(0, socket.ConnectAddresses(&second));
  EXPECT_EQ(0, socket.LastError());
}

TEST(GannetSocketTest, UninitialisedSocketRefusesToConnect) {
  CTcpSocket socket(5);
  WebSocketInfo info;
  EXPECT_EQ(-1, socket.GetInfo(&info));
  EXPECT_EQ(-1, socket.Connect("127.0.0.1", 80));
  EXPECT_EQ(0, socket.LastError());
  EXPECT_EQ(0, socket.Receive(nullptr, 10, 0));
  char buffer[4];
  EXPECT_EQ(-1, socket.Receive(buffer, sizeof buffer, 0));  // not connected
  EXPECT_EQ(10057, socket.LastError());
  EXPECT_STREQ("Cannot connect", socket.ErrorText());
}

TEST(GannetDriverTest, RequestEscapesTargetAndHost) {
  EXPECT_EQ("GET /a%20b HTTP/1.0\r\nHost: h%0D%0AX:1\r\nAccept: */*\r\n"
            "Accept-Encoding: identity\r\nAuthorization: Basic dTpw9w==\r\n\r\n",
            CHttpRequest::Get("/a b", "h\r\nX:1", "u:p\xF7"));
}

TEST(GannetDriverTest, CredentialsTravelInBase64) {
  // RFC 4648's vectors: every remainder of three, with its padding.
  const std::pair<const char*, const char*> rows[] = {
      {"f", "Zg=="},         {"fo", "Zm8="},         {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& [plain, encoded] : rows) {
    EXPECT_NE(std::string::npos, CHttpRequest::Get("/", "h", plain)
                                     .find(std::string("\r\nAuthorization: Basic ") + encoded +
                                           "\r\n"))
        << plain;
  }
}
