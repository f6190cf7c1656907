// Sending and receiving when a disk is full or a folder read-only: the
// program says why in the system's words, removes what it had half
// written, leaves the source alone and exits with 1.

#include "ConfinedRun.h"
#include "ProgramSettings.h"

#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace testing_support;

namespace {

const std::vector<std::string> kNothing;

class DiskFaultTest : public ::testing::Test {
 protected:
  void SetUp() override {
    www = MakeDir("www");
    src = MakeDir("src");
    source = src + "/figures.bin";
    WriteFile(source, RandomBytes(1 << 20, 5));
  }

  void StoreSettings(int compress, int encrypt, const std::string& urlRoot) {
    WriteProgramSettings(urlRoot, www, compress, encrypt);
  }

  static std::string TempDir() { return std::getenv("TMPDIR"); }
  static std::string Problem(const std::string& what, const std::string& path,
                             Confinement how) {
    return "Quiver: Problem " + what + " " + path + ": " + CConfinedRun::Message(how) + "\n";
  }

  std::string www;
  std::string src;
  std::string source;
};

struct Transforms {
  const char* name;
  int compress;
  int encrypt;
};
const Transforms kEveryChain[] = {{"copy", 0, 0}, {"LZ", 1, 0}, {"Simple", 0, 1}, {"LZ+Simple", 1, 1}};

TEST_F(DiskFaultTest, AFullFileRootKeepsNoPartOfTheFile) {
  const std::string before = ReadFile(source);
  for (const Transforms& t : kEveryChain) {
    SCOPED_TRACE(t.name);
    StoreSettings(t.compress, t.encrypt, "http://127.0.0.1/");
    const ConfinedResult r =
        CConfinedRun::Run(QUIVER_EXECUTABLE, {"-s", source}, www, Confinement::kFull);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errors, Problem("sending", source, Confinement::kFull));
    EXPECT_EQ(r.left, kNothing);
    EXPECT_EQ(ListDir(src), std::vector<std::string>{"figures.bin"});
    EXPECT_TRUE(ReadFile(source) == before);
    EXPECT_EQ(ListDir(TempDir()), kNothing);
  }
}

TEST_F(DiskFaultTest, AReadOnlyFileRootIsRefusedBeforeAnythingIsRead) {
  StoreSettings(1, 1, "http://127.0.0.1/");
  const ConfinedResult r =
      CConfinedRun::Run(QUIVER_EXECUTABLE, {"-s", source}, www, Confinement::kReadOnly);
  if (!r.ran) GTEST_SKIP() << "root cannot be kept out of a folder without a private mount";
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.errors, Problem("sending", source, Confinement::kReadOnly));
  EXPECT_EQ(r.left, kNothing);
  EXPECT_EQ(ListDir(src), std::vector<std::string>{"figures.bin"});
  EXPECT_EQ(ListDir(TempDir()), kNothing);
}

// The pointer file goes beside the source. When it cannot be written the
// published copy goes too, and nothing torn is left beside the source.
TEST_F(DiskFaultTest, APointerFileThatCannotBeWrittenLeavesNoTornFile) {
  StoreSettings(1, 1, "http://127.0.0.1/");
  // A source of exactly 64 KiB fills its own 64 KiB folder.
  const std::string small = MakeDir("seed") + "/note.txt";
  WriteFile(small, SampleText(64 << 10));
  const std::string inDir = src + "/note.txt";
  for (Confinement how : {Confinement::kReadOnly, Confinement::kFull}) {
    SCOPED_TRACE(how == Confinement::kFull ? "full" : "read-only");
    if (how == Confinement::kFull && !CConfinedRun::CanMount()) {
      GTEST_SKIP() << "a full folder of its own needs a private mount";
    }
    const ConfinedResult r =
        CConfinedRun::Run(QUIVER_EXECUTABLE, {"-s", inDir}, src, how, {small});
    if (!r.ran) GTEST_SKIP() << "root cannot be kept out of a folder without a private mount";
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errors, Problem("sending", inDir, how));
    EXPECT_EQ(r.left, std::vector<std::string>{"note.txt"});
    EXPECT_TRUE(ReadFile(r.copies + "/note.txt") == ReadFile(small));
    // Without its pointer file nobody could find the published copy.
    EXPECT_EQ(ListDir(www), kNothing);
    EXPECT_EQ(ListDir(TempDir()), kNothing);
  }
}

// A full temporary folder stops the download (a file that does not
// compress) or the decoding (one that does); either way the user reads why
// and the folder is left empty.
TEST_F(DiskFaultTest, AFullTemporaryFolderStopsTheFetchAndIsLeftEmpty) {
  CNginxServer server(www);
  StoreSettings(1, 1, server.BaseUrl());
  const struct {
    const char* name;
    std::string content;
  } cases[] = {
      {"random.bin", RandomBytes(1 << 20, 9)},
      {"zeros.bin", std::string(1 << 20, '\0')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string sent = src + "/" + c.name;
    WriteFile(sent, c.content);
    ASSERT_EQ(testing_support::Run("env -u DISPLAY '" + std::string(QUIVER_EXECUTABLE) + "' -s '" + sent + "'"), 0);
    const std::string name = c.name;
    const std::string pointer = src + "/" + name.substr(0, name.find('.')) + ".qvr";
    ASSERT_TRUE(Exists(pointer));
    const ConfinedResult r =
        CConfinedRun::Run(QUIVER_EXECUTABLE, {pointer}, TempDir(), Confinement::kFull);
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.errors, Problem("fetching", server.BaseUrl() + c.name, Confinement::kFull));
    EXPECT_EQ(r.left, kNothing);
  }
  EXPECT_EQ(ListDir(TempDir()), kNothing);
}

}  // namespace
