// The receive page end to end: files sent by the quiver program into a
// FileRoot that a private nginx serves are opened through their links in
// headless Chromium (browser.mjs, one browser for the suite) and saved
// through the page's streamed download.

#include "support/ChildProcess.h"
#include "support/CuttingProxy.h"
#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <regex>
#include <string>
#include <unistd.h>

using namespace testing_support;

namespace {

const std::string kStem = QUIVER_PAGE_STEM;

// The driver's answer, a flat JSON object of strings and numbers.
std::string Field(const std::string& json, const std::string& name) {
  const std::regex field("\"" + name + "\":(\"((?:[^\"\\\\]|\\\\.)*)\"|[0-9.]+)");
  std::smatch match;
  if (!std::regex_search(json, match, field)) return "";
  return match[2].matched ? match[2].str() : match[1].str();
}

// What is done to the published file between sending and opening; Break
// serves it through a relay that cuts connections, which the page resumes.
enum class Harm { None, Flip, Cut, Remove, Break };

struct Row {
  const char* name;
  int compress;
  int encrypt;
  size_t size;
  Harm harm;
  bool padded;
  // What the page ends with, and the reason it gives for a failure.
  const char* state;
  const char* reason;
};

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

constexpr size_t kLarge = 64u << 20;

const Row kRows[] = {
    {"plain", 0, 0, 400000, Harm::None, false, "saved", ""},
    {"lz", 1, 0, 400000, Harm::None, true, "saved", ""},
    {"simple", 0, 1, 400000, Harm::None, false, "saved", ""},
    {"lz_simple", 1, 1, 400000, Harm::None, false, "saved", ""},
    {"strong", 0, 2, 400000, Harm::None, false, "saved", ""},
    {"lz_strong", 1, 2, 400000, Harm::None, false, "saved", ""},
    {"strong_damaged", 0, 2, 400000, Harm::Flip, false, "failed", "damaged"},
    {"strong_cut", 1, 2, 400000, Harm::Cut, false, "failed", "damaged"},
    {"removed", 0, 2, 1000, Harm::Remove, false, "failed", "not-found"},
    {"resumed_lz_strong", 1, 2, 1500000, Harm::Break, false, "saved", ""},
    {"large_lz_strong", 1, 2, kLarge, Harm::None, false, "saved", ""},
};

class WebReceiveTest : public ::testing::TestWithParam<Row> {
 protected:
  static void SetUpTestSuite() {
    published = new std::string(MakeDir("www"));
    // The page's own types as servers give them; .wasm stays
    // application/octet-stream, which the page copes with.
    server = new CNginxServer(*published,
                              "types { text/html html; text/javascript js; text/css css; "
                              "text/plain txt; }",
                              "");
    int in[2], out[2];
    ASSERT_EQ(pipe2(in, O_CLOEXEC), 0);
    ASSERT_EQ(pipe2(out, O_CLOEXEC), 0);
    driver = new CChildProcess({"node", BuildDir() + "/tests/web/browser.mjs"}, 3000,
                               {{in[0], 0}, {out[1], 1}});
    close(in[0]);
    close(out[1]);
    requests = fdopen(in[1], "w");
    answers = fdopen(out[0], "r");
  }

  static void TearDownTestSuite() {
    fclose(requests);
    driver->Wait();
    fclose(answers);
    delete driver;
    delete server;
    delete published;
  }

  // Sends `content` as `name` with the quiver program, which publishes the
  // page beside it; returns the link it gives the pointer file.
  static std::string Send(const std::string& name, const std::string& content, const Row& row,
                          const std::string& urlRoot) {
    const std::string sources = MakeDir(std::string("src-") + row.name);
    WriteFile(sources + "/" + name, content);
    WriteSettingsFile("FileRoot=" + *published + "/\nUrlRoot=" + urlRoot +
                      "\nCompressType=" + std::to_string(row.compress) +
                      "\nEncryptType=" + std::to_string(row.encrypt) + "\n");
    EXPECT_EQ(testing_support::Run("env -u DISPLAY -u WAYLAND_DISPLAY " QUIVER_EXECUTABLE " -s '" + sources +
                  "/" + name + "' > /dev/null"),
              0);
    const std::string link = sources + "/link";
    EXPECT_EQ(testing_support::Run(QUIVER_EXECUTABLE " --link '" + sources + "/" +
                                   name.substr(0, name.rfind('.')) + ".qvr' > " + link),
              0);
    std::string text = ReadFile(link);
    return text.substr(0, text.find('\n'));
  }

  // Opens `link` in the browser and saves into `downloads`: the answer.
  static std::string Open(const std::string& link, const std::string& downloads) {
    fprintf(requests, "{\"link\":\"%s\",\"downloads\":\"%s\"}\n", link.c_str(),
            downloads.c_str());
    fflush(requests);
    char* line = nullptr;
    size_t capacity = 0;
    const ssize_t n = getline(&line, &capacity, answers);
    std::string answer = n > 0 ? std::string(line, static_cast<size_t>(n)) : "";
    free(line);
    return answer;
  }

  static std::string* published;
  static CNginxServer* server;
  static CChildProcess* driver;
  static FILE* requests;
  static FILE* answers;
};

std::string* WebReceiveTest::published = nullptr;
CNginxServer* WebReceiveTest::server = nullptr;
CChildProcess* WebReceiveTest::driver = nullptr;
FILE* WebReceiveTest::requests = nullptr;
FILE* WebReceiveTest::answers = nullptr;

TEST_P(WebReceiveTest, SavesWhatWasSentOrSaysWhyNot) {
  const Row& row = GetParam();
  const std::string name = std::string(row.name) + " file.txt";
  // The large file is zeros, which LZ shrinks the most: a few network
  // chunks expand to all of it, and still the page's memory stays bounded.
  const std::string content = row.size == kLarge
                                  ? std::string(row.size, '\0')
                                  : SampleText(row.size / 2) + RandomBytes(row.size / 2, 5);
  // Every connection through the relay ends after 1 MB of answers: the
  // page's own files get through, the file only in pieces.
  std::unique_ptr<CChildProcess> relay;
  std::string urlRoot = server->BaseUrl();
  if (row.harm == Harm::Break) {
    const int port = FreePort();
    relay = StartCuttingProxy(port, server->Port(), 100, 1000000);
    urlRoot = "http://127.0.0.1:" + std::to_string(port) + "/";
  }
  std::string link = Send(name, content, row, urlRoot);
  // The page takes base64url with its padding too.
  if (row.padded) link.append((4 - (link.size() - link.find('#') - 1) % 4) % 4, '=');
  const std::string data = *published + "/" + name;
  if (row.harm == Harm::Flip || row.harm == Harm::Cut) {
    std::string stream = ReadFile(data);
    if (row.harm == Harm::Flip) stream[stream.size() / 2] ^= 1;
    if (row.harm == Harm::Cut) stream.resize(stream.size() - 100);
    WriteFile(data, stream);
  }
  if (row.harm == Harm::Remove) {
    ASSERT_EQ(unlink(data.c_str()), 0);
  }

  const std::string downloads = MakeDir(std::string("downloads-") + row.name);
  const std::string answer = Open(link, downloads);
  ASSERT_EQ(Field(answer, "state"), row.state) << answer;
  EXPECT_EQ(Field(answer, "reason"), row.reason) << answer;
  EXPECT_EQ(Field(answer, "name"), name);
  if (row.harm == Harm::None || row.harm == Harm::Break) {
    EXPECT_EQ(ListDir(downloads), std::vector<std::string>{name});
    EXPECT_TRUE(ReadFile(downloads + "/" + name) == content);
  } else {
    EXPECT_EQ(ListDir(downloads), std::vector<std::string>());
  }
  // The page's JS heap with its array buffers, the module's memory among
  // them, holds a few megabytes whatever the file's size.
  if (row.size == kLarge) {
    EXPECT_LT(std::stod(Field(answer, "heapMax")), 16e6) << answer;
  }

  // The server saw the page's files and the data file, and never the
  // fragment, which holds the keys.
  const std::regex request("\"GET /([^ ?#]*)[^\"]* HTTP/1\\.1\"");
  const std::string log = server->AccessLog();
  for (auto it = std::sregex_iterator(log.begin(), log.end(), request);
       it != std::sregex_iterator(); ++it) {
    const std::string path = (*it)[1];
    EXPECT_TRUE(path.rfind(kStem, 0) == 0 || path.find("file.txt") != std::string::npos) << path;
  }
  EXPECT_EQ(log.find('#'), std::string::npos);
  if (row.harm == Harm::Break) {
    const std::regex resumed(std::string(row.name) + "%20file\\.txt HTTP/1\\.1\" 206 ");
    EXPECT_TRUE(std::regex_search(log, resumed)) << log;
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, WebReceiveTest, ::testing::ValuesIn(kRows),
                         [](const auto& row) { return std::string(row.param.name); });

}  // namespace
