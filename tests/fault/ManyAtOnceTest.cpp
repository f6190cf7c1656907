// Sixteen quiver programs sending files of the same name into one FileRoot
// at once, then sixteen opening their pointer files at once: every
// published name is distinct, every pointer file names its own copy, and
// every file arrives byte for byte under a temporary name of its own.

#include "ProgramSettings.h"

#include "app/PointerDoc.h"
#include "support/ChildProcess.h"
#include "support/NginxServer.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>

using namespace testing_support;

namespace {

constexpr int kPrograms = 16;

// Opens a file by copying it, and where it was, under this process's id.
const char kCopier[] = R"(#!/bin/sh
cp -- "$1" "$QUIVER_COPY_OUT/copy.$$"
printf '%s' "$1" > "$QUIVER_COPY_OUT/path.$$"
sleep 0.3
)";

// Starts every command at once and waits for all; their exit statuses.
std::vector<int> RunTogether(const std::vector<std::vector<std::string>>& commands) {
  std::vector<std::unique_ptr<CChildProcess>> running;
  for (const auto& command : commands) {
    running.push_back(std::make_unique<CChildProcess>(command, 300));
  }
  std::vector<int> statuses;
  for (const auto& process : running) statuses.push_back(process->Wait());
  return statuses;
}

class ManyAtOnceTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    UsePrivateDesktop();
    InstallDefaultApplication("copier", kCopier, {"application/msword"});
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // The copier is done with its file when it exits.
    setenv("QUIVER_HAND_OFF_GRACE_MS", "100", 1);
  }

};

TEST_F(ManyAtOnceTest, SixteenSendersThenSixteenReceivers) {
  const std::string www = MakeDir("www");
  const std::string copies = MakeDir("copies");
  setenv("QUIVER_COPY_OUT", copies.c_str(), 1);
  CNginxServer server(www);
  WriteProgramSettings(server.BaseUrl(), www, 1, 1);

  std::vector<std::string> sources;
  std::multiset<std::string> contents;
  std::vector<std::vector<std::string>> sends;
  for (int i = 0; i < kPrograms; ++i) {
    const std::string source = MakeDir("sender") + "/report.doc";
    const std::string content = i % 2 ? RandomBytes(i * 37000 + i, 100 + i)
                                      : SampleText(i * 61000 + 1);
    WriteFile(source, content);
    sources.push_back(source);
    contents.insert(content);
    sends.push_back({QUIVER_EXECUTABLE, "-s", source});
  }
  EXPECT_EQ(RunTogether(sends), std::vector<int>(kPrograms, 0));

  const std::vector<std::string> published = ListSent(www);
  EXPECT_EQ(published.size(), static_cast<size_t>(kPrograms));
  std::set<std::string> urls;
  std::vector<std::vector<std::string>> opens;
  for (int i = 0; i < kPrograms; ++i) {
    const std::string pointer = sources[i].substr(0, sources[i].size() - 4) + ".qvr";
    CPointerDoc doc;
    ASSERT_TRUE(doc.ReadFromFile(pointer)) << pointer;
    EXPECT_EQ(doc.GetSize(), ReadFile(sources[i]).size());
    const std::string name = doc.GetUrl().substr(server.BaseUrl().size());
    EXPECT_TRUE(std::count(published.begin(), published.end(), name) == 1) << name;
    urls.insert(doc.GetUrl());
    opens.push_back({QUIVER_EXECUTABLE, pointer});
  }
  EXPECT_EQ(urls.size(), static_cast<size_t>(kPrograms));

  EXPECT_EQ(RunTogether(opens), std::vector<int>(kPrograms, 0));
  std::multiset<std::string> received;
  std::set<std::string> paths;
  for (const std::string& name : ListDir(copies)) {
    if (name.rfind("copy.", 0) == 0) received.insert(ReadFile(copies + "/" + name));
    if (name.rfind("path.", 0) == 0) paths.insert(ReadFile(copies + "/" + name));
  }
  EXPECT_TRUE(received == contents) << received.size() << " files arrived";
  EXPECT_EQ(paths.size(), static_cast<size_t>(kPrograms)) << "temporary names were shared";
  EXPECT_EQ(ListDir(std::getenv("TMPDIR")), std::vector<std::string>());
}

}  // namespace
