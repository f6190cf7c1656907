// Three hundred fetches in one process, good ones and every kind of failure
// taking turns, sixty of each, leave the process with the descriptors it had
// and the temporary folder with the files it had.

#include "app/PointerDoc.h"
#include "app/Settings.h"
#include "support/NginxServer.h"
#include "support/TestFiles.h"
#include "../gannet/ScriptedServer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

using namespace testing_support;

namespace {

constexpr int kFetches = 300;

size_t OpenDescriptors() { return ListDir("/proc/self/fd").size(); }

// Writes a pointer file for `source`, published into `www` at `urlRoot`.
std::string SendFile(const std::string& source, const std::string& urlRoot,
                     const std::string& www) {
  CSettings settings;
  settings.urlRoot = urlRoot;
  settings.fileRoot = www;
  settings.compressType = 1;
  settings.encryptType = 1;
  settings.Normalize();
  CPointerDoc doc;
  doc.BuildChain(settings);
  const std::string pointer = source + ".qvr";
  if (!doc.Send(pointer, source, settings.urlRoot, settings.fileRoot)) return "";
  return pointer;
}

// The same pointer file with its URL replaced.
std::string Redirected(const std::string& pointer, const std::string& url) {
  CPointerDoc doc;
  if (!doc.ReadFromFile(pointer)) return "";
  doc.SetUrl(url);
  const std::string copy = pointer + "." + std::to_string(std::hash<std::string>()(url));
  return doc.WriteToFile(copy) ? copy : "";
}

TEST(FetchLeakTest, ManyFetchesLeaveNothingOpenOrBehind) {
  const std::string www = MakeDir("www");
  const std::string src = MakeDir("src");
  WriteFile(TestRoot() + "/config/w3skua.ini", "[network]\ntimeout=2\n");
  CNginxServer nginx(www);
  CScriptedServer resetting("HTTP/1.0 200 OK\r\n\r\n" + std::string(50000, 'r'),
                            CScriptedServer::Mode::kReset);
  const std::string content = SampleText(200000);
  WriteFile(src + "/good.txt", content);
  WriteFile(src + "/damaged.txt", content);
  const std::string good = SendFile(src + "/good.txt", nginx.BaseUrl(), www);
  const std::string damaged = SendFile(src + "/damaged.txt", nginx.BaseUrl(), www);
  ASSERT_FALSE(good.empty());
  ASSERT_FALSE(damaged.empty());
  // Half the published copy: the expansion ends early and the size is wrong.
  const std::string published = ReadFile(www + "/damaged.txt");
  WriteFile(www + "/damaged.txt", published.substr(0, published.size() / 2));

  const struct {
    const char* what;
    std::string pointer;
    uint32_t error;
  } turns[] = {
      {"fetched", good, 0},
      {"not found", Redirected(good, nginx.BaseUrl() + "absent.txt"), 2},
      {"refused", Redirected(good, "http://127.0.0.1:" + std::to_string(FreePort()) + "/x.txt"),
       59},
      {"reset", Redirected(good, resetting.Url("/x.txt")), 59},
      {"damaged", damaged, 13},
  };
  const std::string tmp = std::getenv("TMPDIR");
  const size_t descriptors = OpenDescriptors();
  const std::vector<std::string> files = ListDir(tmp);
  int failures = 0;
  for (int i = 0; i < kFetches; ++i) {
    const auto& turn = turns[i % std::size(turns)];
    CPointerDoc doc;
    std::string path;
    ASSERT_TRUE(doc.ReadFromFile(turn.pointer)) << turn.what;
    const bool fetched = doc.FetchToTempFile(path);
    ASSERT_EQ(fetched, turn.error == 0) << turn.what << " at " << i;
    ASSERT_EQ(doc.GetError(), turn.error) << turn.what << " at " << i;
    if (fetched) {
      ASSERT_TRUE(ReadFile(path) == content);
      ASSERT_EQ(unlink(path.c_str()), 0);
    } else {
      ++failures;
    }
  }
  EXPECT_EQ(failures, kFetches * 4 / 5);
  EXPECT_EQ(OpenDescriptors(), descriptors);
  EXPECT_EQ(ListDir(tmp), files);
}

}  // namespace
