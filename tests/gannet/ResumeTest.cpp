// A body that breaks after the header continues with a range request: each
// answer to that request is appended, starts the file again, or fails and
// leaves nothing behind.

#include "GannetTest.h"
#include "ScriptedServer.h"

#include "support/CuttingProxy.h"
#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <unistd.h>

namespace {

using testing_support::ListDir;
using testing_support::ReadFile;

const std::string kBody = testing_support::RandomBytes(100, 18);

std::string Head(const std::string& status, const std::string& fields) {
  return "HTTP/1.0 " + status + "\r\n" + fields + "\r\n";
}
// The whole file announced, only its first 40 bytes sent.
const std::string kBroken = Head("200 OK", "Content-Length: 100\r\nETag: \"v1\"\r\n") +
                            kBody.substr(0, 40);
std::string Part(const std::string& range, const std::string& fields, const std::string& body) {
  return Head("206 Partial Content", "Content-Range: bytes " + range + "\r\nContent-Length: " +
                                         std::to_string(body.size()) + "\r\n" + fields) +
         body;
}

struct ResumeCase {
  std::string name;
  int retries;
  std::vector<std::string> replies;
  size_t requests;
  bool arrives;  // the file ends as kBody; else nothing is left
  CScriptedServer::Mode mode = CScriptedServer::Mode::kReply;
};

int32_t Record(int64_t received, int64_t, void* cookie) {
  static_cast<std::vector<int64_t>*>(cookie)->push_back(received);
  return 0;
}

class ResumeTest : public GannetTest {
 protected:
  // Acquires url, recording each progress call; the acquire's result.
  static int32_t Acquire(const std::string& url, std::vector<int64_t>* progress,
                         std::string* localName) {
    CWebObject web(url);
    EXPECT_EQ(0, webFileProgressSet(web.get(), Record, progress));
    const int32_t result = webFileAcquire(web.get());
    char name[256];
    webFileLocalNameGet(web.get(), name);
    *localName = name;
    return result;
  }
  static std::vector<std::string> Left() { return ListDir(std::getenv("TMPDIR")); }
};

TEST_F(ResumeTest, EveryAnswerToARangeRequestHasItsOutcome) {
  const std::string rest = kBody.substr(40);
  const std::string v1 = "ETag: \"v1\"\r\n";
  const std::vector<ResumeCase> cases = {
      {"the rest arrives", 5, {kBroken, Part("40-99/100", v1, rest)}, 2, true},
      {"after a stall", 5, {kBroken, Part("40-99/100", v1, rest)}, 2, true,
       CScriptedServer::Mode::kKeepOpen},
      {"no range support starts again", 5, {kBroken, Head("200 OK", v1) + kBody}, 2, true},
      {"broken every time", 2, {kBroken}, 3, false},
      {"resuming turned off", 0, {kBroken, Part("40-99/100", v1, rest)}, 1, false},
      {"a gap", 5, {kBroken, Part("50-99/100", v1, rest.substr(10))}, 2, false},
      {"an overlap", 5, {kBroken, Part("30-99/100", v1, kBody.substr(30))}, 2, false},
      {"another total", 5, {kBroken, Part("40-119/120", v1, rest + rest.substr(0, 20))}, 2, false},
      {"longer than announced", 5, {kBroken, Part("40-99/100", v1, rest).append("extra")}, 2,
       false},
      {"another validator", 5, {kBroken, Part("40-99/100", "ETag: \"v2\"\r\n", rest)}, 2, false},
      {"a refusal", 5, {kBroken, Head("416 Range Not Satisfiable", "")}, 2, false},
      {"a part never asked for", 5, {Part("0-99/100", v1, kBody)}, 1, false},
  };
  for (const ResumeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const bool stalls = c.mode == CScriptedServer::Mode::kKeepOpen;
    WriteIni("[network]\nretrywait=10\ntimeout=" + std::string(stalls ? "1" : "5") +
             "\nretries=" + std::to_string(c.retries) + "\n");
    CScriptedServer server(c.replies, c.mode);
    std::vector<int64_t> progress;
    std::string localName;
    EXPECT_EQ(c.arrives ? 0 : -1, Acquire(server.Url("/file.bin"), &progress, &localName));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(c.requests, requests.size());
    if (c.requests > 1) {
      EXPECT_NE(std::string::npos, requests[1].find("Range: bytes=40-\r\nIf-Range: \"v1\"\r\n"));
      const auto resumed = std::find(progress.begin(), progress.end(), -41);
      ASSERT_NE(progress.end(), resumed);
      // A whole file in answer voids what was kept: the count starts at 0.
      const bool restarts = c.replies.back().rfind("HTTP/1.0 200", 0) == 0;
      EXPECT_EQ(restarts, resumed + 1 != progress.end() && resumed[1] == 0);
    }
    const std::vector<std::string> left = Left();
    if (c.arrives) {
      EXPECT_TRUE(ReadFile(localName) == kBody);
      EXPECT_EQ(1u, left.size());
    } else if (c.retries > 0) {
      EXPECT_TRUE(left.empty()) << left.front();
    }
    unlink(localName.c_str());
  }
}

}  // namespace

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(ResumeTest, NginxFilesSurviveCutConnections) {
  const std::string file = testing_support::RandomBytes(200000, 6);
  const std::string root = testing_support::MakeDir("www");
  testing_support::WriteFile(root + "/big.bin", file);
  testing_support::CNginxServer nginx(root);
  struct Row {
    int cuts;
    int retryWaitMs;  // the default for one row: 1+2+4+8+16 s
    bool arrives;
  };
  for (const Row& row : {Row{1, 10, true}, Row{3, 10, true}, Row{5, 1000, true},
                         Row{6, 10, false}}) {
    SCOPED_TRACE(row.cuts);
    WriteIni("[network]\ntimeout=5\nretries=5\nretrywait=" + std::to_string(row.retryWaitMs) +
             "\n");
    const size_t ranged = Count(nginx.AccessLog(), "\" 206 ");
    testing_support::CCuttingProxy proxy(nginx.Port(), row.cuts, 30000);
    std::vector<int64_t> progress;
    std::string localName;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(row.arrives ? 0 : -1,
              Acquire("http://127.0.0.1:" + std::to_string(proxy.Port()) + "/big.bin",
                      &progress, &localName));
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took.count(), row.retryWaitMs == 1000 ? 31.0 : 0.0);
    EXPECT_EQ(std::min(row.cuts, 5) + 1, proxy.Connections());
    const std::vector<std::string> kept = {localName.substr(localName.rfind('/') + 1)};
    EXPECT_EQ(row.arrives ? kept : std::vector<std::string>{}, Left());
    EXPECT_TRUE(!row.arrives || ReadFile(localName) == file);
    // nginx logs a cut request once it has given up on it.
    for (int i = 0; i < 100 && Count(nginx.AccessLog(), "\" 206 ") < ranged + std::min(row.cuts, 5);
         ++i) {
      usleep(20000);
    }
    EXPECT_EQ(ranged + std::min(row.cuts, 5), Count(nginx.AccessLog(), "\" 206 "));
    unlink(localName.c_str());
  }
}
