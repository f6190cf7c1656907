// Opening a pointer file whose URL leads to a misbehaving server: the user
// gets one message naming the URL and the reason, nothing is launched and
// the temporary directory is left empty (checked by the fixture).

#include "ReceiveFixture.h"

#include "../gannet/ScriptedServer.h"

#include <cctype>
#include <chrono>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace {

using Mode = CScriptedServer::Mode;

const std::string kNotFound = "The system cannot find the file specified.";
const std::string kNetwork = "An unexpected network error occurred.";
const std::string kInvalid = "The data is invalid.";
const std::string kCut = " The connection broke before the whole file arrived.";

class HostileReceiveTest : public ReceiveTest {
 protected:
  void SetUp() override {
    ReceiveTest::SetUp();
    UseCopierGrace();
  }

  // Points the pointer file at `server` instead of the published copy.
  static void Redirect(const std::string& pointer, const CScriptedServer& server) {
    CPointerDoc doc;
    ASSERT_TRUE(doc.ReadFromFile(pointer));
    doc.SetUrl(server.Url("/report.txt"));
    ASSERT_TRUE(doc.WriteToFile(pointer));
  }

  // Opens the pointer file as the command line does; the events shown.
  std::vector<std::string> Open(const std::string& pointer) {
    CRecordingUserInterface ui;
    FetchAndLaunch(pointer, 1, ui);
    return ui.events;
  }
};

const std::string kOk = "HTTP/1.0 200 OK\r\n";

struct HostileRow {
  const char* name;
  std::string reply;
  Mode mode;
  std::string reason;
  std::string network = "retries=0\n";  // more of w3skua.ini's [network]
};

void PrintTo(const HostileRow& row, std::ostream* out) { *out << row.name; }

const HostileRow kHostileRows[] = {
    {"reset in the middle of the body",
     kOk + "Content-Length: 300000\r\n\r\n" + std::string(30000, 'b'), Mode::kReset,
     kNetwork + " The connection broke after 30000 of 300000 bytes."},
    {"cut off, not resumed",
     kOk + "Content-Length: 100000\r\nETag: \"v1\"\r\n\r\n" + std::string(40000, 'c'),
     Mode::kTrickle, kNotFound + " The connection broke after 40000 of 100000 bytes."},
    {"cut off, resumed in vain",
     kOk + "Content-Length: 100000\r\nETag: \"v1\"\r\n\r\n" + std::string(40000, 'c'),
     Mode::kTrickle, kNotFound + kCut, "retries=1\nretrywait=10\n"},
    {"accepts and says nothing", "", Mode::kSilent, kNetwork + " HOST did not answer in time."},
    {"header block of 1 MB", kOk + "X-Pad: " + std::string(1 << 20, 'p') + "\r\n\r\nbody",
     Mode::kReply, kNotFound},
    {"endless header block", kOk, Mode::kEndless, kNotFound},
    {"not an answer", std::string(3000, '\x01') + "\x7f\x80\xff", Mode::kReply, kNotFound},
    // The library tells no length for a body that came with the header block.
    {"Content-Length beyond the body", kOk + "Content-Length: 100\r\n\r\n12345", Mode::kReply,
     kNotFound + " The connection broke after 5 of 100 bytes."},
    {"connection closed right after accept", "", Mode::kHangUp, kNetwork},
    // Answers instead of the file name their cause; the error pages they
    // bring are named .htm by the content type, and removed all the same.
    {"401", "HTTP/1.0 401 Unauthorized\r\n\r\n<p>who?</p>", Mode::kReply,
     "Access is denied. The server refused access to it."},
    {"407", "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n<p>who?</p>", Mode::kReply,
     "Access is denied. The proxy refused access: it asks for a login."},
    {"410", "HTTP/1.0 410 Gone\r\n\r\n<p>gone</p>", Mode::kReply,
     kNotFound + " The server has no such file: it may have expired or been removed."},
    {"414", "HTTP/1.0 414 URI Too Long\r\n\r\n<p>long</p>", Mode::kReply,
     "The filename or extension is too long."},
    {"400", "HTTP/1.0 400 Bad Request\r\n\r\n<p>bad</p>", Mode::kReply,
     "Unexpected client error status code (4xx)."},
    {"503", "HTTP/1.0 503 Service Unavailable\r\n\r\n<p>busy</p>", Mode::kReply,
     "Unexpected server error status code (5xx). The server failed to answer with it."},
    {"300 without Location", "HTTP/1.0 300 Multiple Choices\r\n\r\n<p>pick</p>", Mode::kReply,
     "Unexpected redirection status code (3xx)."},
    {"gzip coded", kOk + "Content-Encoding: gzip\r\n\r\n\x1f\x8b", Mode::kReply,
     "The request is not supported."},
};

class MisbehavingServerTest : public HostileReceiveTest,
                          public ::testing::WithParamInterface<HostileRow> {
 protected:
  void TearDown() override {
    WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=10\n");
    HostileReceiveTest::TearDown();
  }
};

TEST_P(MisbehavingServerTest, TheMisbehaviourIsReportedAndLeavesNothing) {
  const HostileRow& row = GetParam();
  const std::string pointer = Send("report.txt", "quarterly figures", 1, 1);
  WriteFile(TestRoot() + "/config/w3skua.ini",
            "[network]\ntimeout=1\n" + row.network + "[contenttype]\ntext/html=.htm\n");
  CScriptedServer hostile(row.reply, row.mode);
  Redirect(pointer, hostile);
  const std::string url = hostile.Url("/report.txt");
  std::string reason = row.reason;
  const size_t host = reason.find("HOST");
  if (host != std::string::npos) reason.replace(host, 4, url.substr(7, url.find('/', 7) - 7));
  EXPECT_EQ(Open(pointer),
            std::vector<std::string>({"warning: Problem fetching " + url + ": " + reason}));
  EXPECT_EQ(TempFiles(), std::vector<std::string>());
  EXPECT_EQ(ListDir(copies), std::vector<std::string>());
}

INSTANTIATE_TEST_SUITE_P(Rows, MisbehavingServerTest, ::testing::ValuesIn(kHostileRows),
                         [](const auto& row) {
                           std::string name = row.param.name;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// Figures of about 12 MB, which LZ turns into under 3 MB.
std::string Figures() {
  std::string text;
  for (uint64_t line = 0; text.size() < 12000000; ++line) {
    text +=
        "quarter " + std::to_string(line % 97) + ": " + std::to_string(line * 7919 % 10007) + "\n";
  }
  return text;
}

// The decoding follows the body as it arrives, through every transform:
// while the server holds back the rest, what came is decoded already; when
// the body then breaks, the decoded part goes.
TEST_F(HostileReceiveTest, TheBodyIsDecodedWhileItArrives) {
  const std::string figures = Figures();
  const std::string pointer = Send("report.txt", figures, 1, 1);
  const std::string encoded = ReadFile(published + "/report.txt");
  WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=10\nretries=0\n");
  auto holding = std::make_unique<CScriptedServer>(
      "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(encoded.size()) + "\r\n\r\n" +
          encoded.substr(0, encoded.size() * 3 / 4),
      Mode::kKeepOpen);
  Redirect(pointer, *holding);
  std::vector<std::string> events;
  std::thread opening([&] { events = Open(pointer); });
  // More than the write-behind's megabyte of decoded figures shows up.
  const auto decodedSoFar = [this] {
    struct stat st {};
    for (const std::string& name : TempFiles()) {
      if (name.rfind("report", 0) == 0 && stat((TempDir() + "/" + name).c_str(), &st) == 0) break;
    }
    return static_cast<size_t>(st.st_size);
  };
  for (int i = 0; i < 2000 && decodedSoFar() <= (1u << 20); ++i) usleep(10000);
  EXPECT_GT(decodedSoFar(), 1u << 20);
  holding.reset();
  opening.join();
  ASSERT_EQ(1u, events.size());
  EXPECT_NE(std::string::npos, events[0].find("The connection broke after")) << events[0];
}

// A body whose start the decoding finds damaged stops the fetch at once:
// the report does not wait for the rest that the server holds back.
TEST_F(HostileReceiveTest, DamageStopsTheFetchAtOnce) {
  const std::string pointer = Send("report.txt", "quarterly figures", 1, 0);
  std::string encoded = ReadFile(published + "/report.txt");
  encoded[1] = 'x';
  CScriptedServer holding("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + encoded,
                          Mode::kKeepOpen);
  Redirect(pointer, holding);
  const auto start = std::chrono::steady_clock::now();
  const std::vector<std::string> events = Open(pointer);
  // The library's own wait for the rest would be its 10 s timeout.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  ASSERT_EQ(1u, events.size());
  EXPECT_NE(std::string::npos, events[0].find(kInvalid)) << events[0];
}

// A body that broke goes on where it broke, or starts over where the server
// sends it whole again; either way what opens is what was sent.
TEST_F(HostileReceiveTest, ABrokenBodyIsDecodedWholeWhetherResumedOrStartedOver) {
  const std::string figures = Figures();
  const std::string pointer = Send("report.txt", figures, 1, 1);
  const std::string encoded = ReadFile(published + "/report.txt");
  const std::string size = std::to_string(encoded.size()), cut = std::to_string(encoded.size() / 2);
  const std::string head =
      "HTTP/1.0 200 OK\r\nETag: \"v1\"\r\nContent-Length: " + size + "\r\n\r\n";
  const std::string broken = head + encoded.substr(0, encoded.size() / 2);
  const std::string rest = "HTTP/1.0 206 Partial Content\r\nETag: \"v1\"\r\nContent-Range: bytes " +
                           cut + "-" + std::to_string(encoded.size() - 1) + "/" + size +
                           "\r\n\r\n" + encoded.substr(encoded.size() / 2);
  WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=10\nretries=1\nretrywait=50\n");
  for (const auto& second : {rest, head + encoded}) {
    CScriptedServer breaking(std::vector<std::string>{broken, second});
    Redirect(pointer, breaking);
    EXPECT_EQ(Open(pointer), std::vector<std::string>());
    for (const std::string& copy : ListDir(copies)) {
      if (copy.rfind("copy", 0) == 0) {
        EXPECT_TRUE(ReadFile(copies + "/" + copy) == figures);
      }
    }
  }
}

// A status line far longer than the library keeps still delivers the file.
TEST_F(HostileReceiveTest, AnOverlongStatusLineStillDeliversTheFile) {
  const std::string pointer = Send("report.txt", "quarterly figures", 1, 1);
  const std::string encoded = ReadFile(published + "/report.txt");
  CScriptedServer hostile("HTTP/1.0 200 " + std::string(300, 's') + "\r\n\r\n" + encoded);
  Redirect(pointer, hostile);
  EXPECT_EQ(Open(pointer), std::vector<std::string>());
  EXPECT_EQ(ReadFile(copies + "/copy0"), "quarterly figures");
}

}  // namespace
