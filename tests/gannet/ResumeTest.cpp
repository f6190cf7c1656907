// A body that breaks after the header goes on with a range request: each
// answer to it is appended, starts the file again, or fails leaving nothing.
// What has arrived may be read while the rest comes.

#include "GannetTest.h"
#include "ScriptedServer.h"

#include "support/CuttingProxy.h"
#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <regex>
#include <unistd.h>

namespace {

using namespace testing_support;
using Mode = CScriptedServer::Mode;

const std::string kBody = RandomBytes(100, 18), kRest = kBody.substr(40), kV1 = "ETag: \"v1\"\r\n";
std::string Head(const std::string& status, const std::string& fields) {
  return "HTTP/1.0 " + status + "\r\n" + fields + "\r\n";
}
// The whole file announced, only its first 40 bytes sent.
const std::string kBroken = Head("200 OK", "Content-Length: 100\r\n" + kV1) + kBody.substr(0, 40);
std::string Part(const std::string& range, const std::string& body, const std::string& tag = kV1) {
  return Head("206 Partial Content", "Content-Range: bytes " + range + "\r\nContent-Length: " +
                                         std::to_string(body.size()) + "\r\n" + tag) + body;
}

// What the progress callback saw: every count, and each time body bytes
// were told, whether the file named then held them as the body's start.
struct Followed {
  WebHandle web = nullptr;
  const std::string* body = nullptr;
  std::vector<int64_t> counts;
  int wrongStarts = 0;
};

int32_t Record(int64_t received, int64_t, void* cookie) {
  auto* seen = static_cast<Followed*>(cookie);
  seen->counts.push_back(received);
  if (received <= 0) return 0;
  char name[256];
  webFileLocalNameGet(seen->web, name);
  const std::string start = ReadFile(name).substr(0, static_cast<size_t>(received));
  if (start.size() != static_cast<size_t>(received) || seen->body->compare(0, start.size(), start))
    ++seen->wrongStarts;
  return 0;
}

class ResumeTest : public GannetTest {
 protected:
  // Acquires url with the [network] settings; the acquire's result, the
  // local file's content ("" when none is left) and what the callback saw
  // of `body` as it arrived.
  static int32_t Acquire(const std::string& url, const std::string& settings,
                         const std::string& body, std::string* content, Followed* seen) {
    WriteIni("[network]\n" + settings);
    CWebObject web(url);
    seen->web = web.get();
    seen->body = &body;
    webFileProgressSet(web.get(), Record, seen);
    const int32_t result = webFileAcquire(web.get());
    char name[256];
    webFileLocalNameGet(web.get(), name);
    *content = ListDir(std::getenv("TMPDIR")).empty() ? "" : ReadFile(name);
    unlink(name);
    EXPECT_EQ(0, seen->wrongStarts);
    return result;
  }
};

TEST_F(ResumeTest, EveryAnswerToARangeRequestHasItsOutcome) {
  const struct {
    std::string name;
    int retries;
    std::vector<std::string> replies;
    size_t requests;
    std::string left;  // the local file; the acquire succeeds when it is the body
    Mode mode = Mode::kReply;
  } cases[] = {
      {"the rest arrives", 5, {kBroken, Part("40-99/100", kRest)}, 2, kBody},
      {"after a stall", 5, {kBroken, Part("40-99/100", kRest)}, 2, kBody, Mode::kKeepOpen},
      {"no range support starts again", 5, {kBroken, Head("200 OK", kV1) + kBody}, 2, kBody},
      {"broken every time", 2, {kBroken}, 3, ""},
      {"resuming turned off", 0, {kBroken}, 1, kBody.substr(0, 40)},
      {"a gap", 5, {kBroken, Part("50-99/100", kRest.substr(10))}, 2, ""},
      {"an overlap", 5, {kBroken, Part("30-99/100", kBody.substr(30))}, 2, ""},
      {"another total", 5, {kBroken, Part("40-119/120", kRest + kRest.substr(0, 20))}, 2, ""},
      {"longer than announced", 5, {kBroken, Part("40-99/100", kRest).append("x")}, 2, ""},
      {"another validator", 5, {kBroken, Part("40-99/100", kRest, "ETag: \"v2\"\r\n")}, 2, ""},
      {"a refusal", 5, {kBroken, Head("416 Range Not Satisfiable", "")}, 2, ""},
      {"a part never asked for", 5, {Part("0-99/100", kBody)}, 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CScriptedServer server(c.replies, c.mode);
    Followed seen;
    std::string content;
    const std::string settings = (c.mode == Mode::kKeepOpen ? "timeout=1" : "timeout=5") +
                                 ("\nretrywait=10\nretries=" + std::to_string(c.retries));
    EXPECT_EQ(c.left == kBody ? 0 : -1, Acquire(server.Url("/f"), settings, kBody, &content, &seen));
    EXPECT_TRUE(content == c.left);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(c.requests, requests.size());
    if (c.requests == 1) continue;
    EXPECT_NE(std::string::npos, requests[1].find("Range: bytes=40-\r\nIf-Range: \"v1\"\r\n"));
    // A resume is told as -1 - the bytes kept, the wait after it as the 40
    // bytes kept; a whole file in answer as 0.
    const std::vector<int64_t>& counts = seen.counts;
    const auto resumed = std::find(counts.begin(), counts.end(), -41);
    ASSERT_NE(counts.end(), resumed);
    const auto next = std::find_if(resumed + 1, counts.end(), [](int64_t n) { return n != 40; });
    EXPECT_EQ(c.replies.back().rfind("HTTP/1.0 200", 0) == 0, next != counts.end() && *next == 0);
  }
}

TEST_F(ResumeTest, NginxFilesSurviveCutConnections) {
  // The mapped extension renames the file as the body begins.
  const std::string kMapped = "[contenttype]\napplication/octet-stream=.bin\n";
  const std::string file = RandomBytes(200000, 6), root = MakeDir("www");
  WriteFile(root + "/big", file);
  CNginxServer nginx(root);
  const auto ranged = [&nginx, partial = std::regex("\" 206 ")] {
    const std::string log = nginx.AccessLog();
    return std::distance(std::sregex_iterator(log.begin(), log.end(), partial), {});
  };
  for (const int cuts : {1, 3, 5, 6}) {  // 5: every wait, doubling: 10+20+40+80+160 ms
    SCOPED_TRACE(cuts);
    const auto expected = ranged() + std::min(cuts, 5);
    const int port = FreePort();
    const auto proxy = StartCuttingProxy(port, nginx.Port(), cuts, 30000);
    std::string content;
    Followed seen;
    const auto start = std::chrono::steady_clock::now();
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big";
    EXPECT_EQ(cuts <= 5 ? 0 : -1, Acquire(url, "timeout=5\nretrywait=10\n" + kMapped, file, &content, &seen));
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(cuts == 5 ? 310 : 0));
    EXPECT_TRUE(content == (cuts <= 5 ? file : ""));
    // nginx logs a cut request once it has given up on it.
    for (int i = 0; i < 100 && ranged() < expected; ++i) usleep(20000);
    EXPECT_EQ(expected, ranged());
  }
}

}  // namespace
