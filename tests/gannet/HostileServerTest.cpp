// Servers that misbehave on purpose: each answer ends the fetch with its
// exact code and message, within the time limit, and leaves in the
// temporary directory nothing but the local file the library keeps. The
// library's second lasts kSecond here, so that its limits pass quickly.

#include "GannetTest.h"
#include "ScriptedServer.h"
#include "TcpSocket.h"

#include "support/TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <unistd.h>

namespace {

using testing_support::ListDir;
using testing_support::ReadFile;
using Mode = CScriptedServer::Mode;

const std::string kNotAcquired = "File not aquired - get web info for server message";
constexpr std::chrono::milliseconds kSecond{200};

enum class Left {
  kNothing,    // no file at all
  kLocalFile,  // the local file, holding exactly the expected body
  kAtMostLocalFile,  // a reset may or may not come before the first write
};

struct HostileCase {
  std::string name;
  std::string reply;
  Mode mode;
  int timeoutSeconds;  // of the library's shortened seconds
  int32_t code;
  std::string message;  // "" for the library's own message of the code
  int32_t status;
  std::string statusLine;
  Left left;
  std::string body;
  double maxSeconds;  // real ones
  bool tls = false;  // the URL is https
};

std::string Garbage() {
  std::string bytes = testing_support::RandomBytes(5000, 77);
  std::replace(bytes.begin(), bytes.end(), '\n', '~');
  return bytes;
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

class HostileServerTest : public GannetTest {
 protected:
  void SetUp() override {
    GannetTest::SetUp();
    gannet::CTcpSocket::SetSecondLength(kSecond);
  }
  void TearDown() override { gannet::CTcpSocket::SetSecondLength(std::chrono::seconds(1)); }

  static std::string TempDir() { return std::getenv("TMPDIR"); }

  void Check(const HostileCase& c) {
    SCOPED_TRACE(c.name);
    WriteIni("[network]\ntimeout=" + std::to_string(c.timeoutSeconds) + "\n");
    CScriptedServer server(c.reply, c.mode);
    server.SetDripInterval(static_cast<int>(kSecond.count()));
    const auto start = std::chrono::steady_clock::now();
    const FetchResult r =
        Fetch(c.tls ? "https://127.0.0.1:" + std::to_string(server.Port()) + "/hostile.bin"
                    : server.Url("/hostile.bin"));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    EXPECT_EQ(c.code, r.code);
    EXPECT_EQ(c.code == 0 ? 0 : -1, r.acquireResult);
    const std::string message = !c.message.empty() ? c.message
                                : c.code == 0     ? "No Error."
                                                  : kNotAcquired;
    EXPECT_EQ(message, r.message);
    EXPECT_EQ(c.status, r.info.statusCode);
    EXPECT_EQ(c.statusLine, std::string(r.info.statusLine));
    EXPECT_LT(took.count(), c.maxSeconds);

    const std::vector<std::string> left = ListDir(TempDir());
    const std::vector<std::string> localOnly = {BaseName(r.localName)};
    switch (c.left) {
      case Left::kNothing:
        EXPECT_TRUE(left.empty()) << left.size() << " files left, first " << left.front();
        break;
      case Left::kLocalFile:
        EXPECT_EQ(localOnly, left);
        EXPECT_TRUE(ReadFile(r.localName) == c.body);
        break;
      case Left::kAtMostLocalFile:
        EXPECT_TRUE(left.empty() || left == localOnly);
        break;
    }
    unlink(r.localName.c_str());
  }
};

TEST_F(HostileServerTest, EveryMisbehaviourHasItsOutcome) {
  const std::string ok = "HTTP/1.0 200 OK\r\n";
  const std::string badTls = SocketMessage(static_cast<int32_t>(0x80090326u),
                                           "The message received was unexpected or badly formatted.");
  // Handshake records carrying a certificate message that claims 1 MB.
  std::string certificate = std::string("\x16\x03\x03\x40\x00\x0b\x10\x00\x00", 9);
  for (int i = 0; i < 64; ++i) {
    certificate += std::string(16384 - 4, 'c') + std::string("\x16\x03\x03\x40\x00", 5);
  }
  const std::string longStatus = "HTTP/1.0 200 " + std::string(287, 's');
  const HostileCase cases[] = {
      {"reset in the middle of the body",
       ok + "Content-Length: 300000\r\n\r\n" + std::string(150000, 'b'), Mode::kReset, 5, 10,
       SocketMessage(10054, "Connection reset by peer"), 200, "HTTP/1.0 200 OK\r",
       Left::kAtMostLocalFile, "", 10},
      {"accepts and says nothing", "", Mode::kSilent, 1, 10,
       SocketMessage(10060, "Connection timed out"), 0, "", Left::kNothing, "", 6},
      {"header block dripped one byte a second", "HTTP/1.0 200 OK\n\nok", Mode::kDrip, 3, 10,
       SocketMessage(10060, "Connection timed out"), 0, "", Left::kNothing, "", 8},
      {"header block of 1 MB", ok + "X-Pad: " + std::string(1 << 20, 'p') + "\r\n\r\nbody",
       Mode::kReply, 5, 7, "", 0, "", Left::kNothing, "", 10},
      {"endless header block", ok, Mode::kEndless, 5, 7, "", 0, "", Left::kNothing, "", 10},
      {"binary garbage for a status line", Garbage(), Mode::kReply, 5, 7, "", 0, "",
       Left::kNothing, "", 10},
      {"status line of 300 characters", longStatus + "\r\n\r\nfine", Mode::kReply, 5, 0, "",
       200, longStatus.substr(0, sizeof WebFileInfo{}.statusLine - 1), Left::kLocalFile, "fine", 10},
      {"Content-Length beyond the body", ok + "Content-Length: 100\r\n\r\n12345", Mode::kReply,
       5, 7, "", 200, "HTTP/1.0 200 OK\r", Left::kLocalFile, "12345", 10},
      {"connection closed right after accept", "", Mode::kHangUp, 5, 10,
       SocketMessage(10054, "Connection reset by peer"), 0, "", Left::kNothing, "", 10},
      // TLS peers; the server answers the client's first record.
      {"TLS: closes during the handshake", "", Mode::kHangUp, 5, 10,
       SocketMessage(10054, "Connection reset by peer"), 0, "", Left::kNothing, "", 10, true},
      {"TLS: leaves during the handshake, without a reset", "", Mode::kReply, 10, 10,
       SocketMessage(10054, "Connection reset by peer"), 0, "", Left::kNothing, "", 10, true},
      {"TLS: garbage for a handshake", Garbage(), Mode::kReply, 10, 10, badTls, 0, "",
       Left::kNothing, "", 10, true},
      {"TLS: a certificate message of 1 MB", certificate, Mode::kReply, 10, 10, badTls, 0, "",
       Left::kNothing, "", 10, true},
      {"TLS: never finishes the handshake", "", Mode::kSilent, 1, 10,
       SocketMessage(10060, "Connection timed out"), 0, "", Left::kNothing, "", 6, true},
  };
  for (const HostileCase& c : cases) Check(c);
}

}  // namespace
