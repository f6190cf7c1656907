#include "app/UniqueFile.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string Claim(const std::string& dir, const std::string& base, const std::string& ext) {
  CFileHandle h;
  std::string name;
  if (!CreateUniqueFile(dir, base, ext, FileShare::None, {}, h, name)) return "<failed>";
  return name;
}

TEST(UniqueFile, NamingSequence) {
  struct Case {
    std::string base, ext;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"report", ".doc", {"report.doc", "repo0000.doc", "repo0001.doc"}},
      {"a", ".txt", {"a.txt", "a0000.txt", "a0001.txt"}},
      {"README", "", {"README", "READ0000", "READ0001"}},
      {"with space", ".x y", {"with space.x y", "with0000.x y"}},
      {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e", ".doc",
       {"\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.doc", "\xe6\x97\xa5" "0000.doc"}},
      {"ab\xc3\xa9z", ".t", {"ab\xc3\xa9z.t", "ab\xc3\xa9" "0000.t"}},
      {"abc\xc3\xa9", ".t", {"abc\xc3\xa9.t", "abc0000.t"}},
      {"abc\xc3\xff", ".t", {"abc\xc3\xff.t", "abc\xc3" "0000.t"}},
  };
  for (const Case& c : cases) {
    const std::string dir = MakeDir("seq");
    for (const std::string& expected : c.names) EXPECT_EQ(Claim(dir, c.base, c.ext), expected);
  }
}

TEST(UniqueFile, CounterIsLowercaseHexadecimal) {
  const std::string dir = MakeDir("hex");
  for (int i = 0; i < 12; ++i) Claim(dir, "report", ".doc");
  const auto names = ListDir(dir);
  EXPECT_TRUE(std::count(names.begin(), names.end(), "repo0009.doc"));
  EXPECT_TRUE(std::count(names.begin(), names.end(), "repo000a.doc"));
  EXPECT_EQ(Claim(dir, "report", ".doc"), "repo000b.doc");
}

TEST(UniqueFile, AllNamesTakenFailsWithFour) {
  const std::string dir = MakeDir("full");
  WriteFile(dir + "/x.z", "");
  for (unsigned i = 0; i <= 0x3ffe; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "x%04x.z", i);
    WriteFile(dir + "/" + name, "");
  }
  CFileHandle h;
  std::string name;
  EXPECT_FALSE(CreateUniqueFile(dir, "x", ".z", FileShare::None, {}, h, name));
  EXPECT_EQ(GetLastError(), ERROR_TOO_MANY_OPEN_FILES);
  EXPECT_EQ(ListDir(dir).size(), 16384u);
  unlink((dir + "/x3ffe.z").c_str());
  EXPECT_EQ(Claim(dir, "x", ".z"), "x3ffe.z");
}

TEST(UniqueFile, OtherFailuresStopAtOnceWithTheirCode) {
  const std::string dir = MakeDir("fail");
  CFileHandle h;
  std::string name;
  EXPECT_FALSE(CreateUniqueFile(dir + "/missing", "r", ".doc", FileShare::None, {}, h, name));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  WriteFile(dir + "/plainfile", "");
  EXPECT_FALSE(CreateUniqueFile(dir + "/plainfile", "r", ".doc", FileShare::None, {}, h, name));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(CreateUniqueFile(dir, std::string(300, 'n'), ".doc", FileShare::None, {}, h, name));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(ListDir(dir), std::vector<std::string>({"plainfile"}));
}

TEST(UniqueFile, ProcessesClaimingAtOnceNeverShareAName) {
  const std::string dir = MakeDir("race");
  const int kProcesses = 6, kEach = 40;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      for (int i = 0; i < kEach; ++i) {
        CFileHandle h;
        std::string name;
        if (!CreateUniqueFile(dir, "report", ".doc", FileShare::None, {}, h, name)) _exit(1);
        const std::string mark = std::to_string(p);
        if (!h.Write(mark.data(), mark.size())) _exit(1);
      }
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  const auto names = ListDir(dir);
  EXPECT_EQ(names.size(), size_t(kProcesses * kEach));
  for (const std::string& n : names) EXPECT_EQ(ReadFile(dir + "/" + n).size(), 1u) << n;
}

TEST(UniqueFile, TempFilesLiveInTmpdirWithPrivateMode) {
  CFileHandle first, second;
  std::string p1, p2;
  ASSERT_TRUE(CreateTempFile("ccqSink", ".tmp", first, p1, true));
  ASSERT_TRUE(CreateTempFile("ccqSink", ".tmp", second, p2, false));
  EXPECT_EQ(p1, TestRoot() + "/tmp/ccqSink.tmp");
  EXPECT_EQ(p2, TestRoot() + "/tmp/ccqS0000.tmp");
  struct stat st;
  ASSERT_EQ(stat(p2.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  first.Close();
  second.Close();
  EXPECT_FALSE(Exists(p1));
  EXPECT_TRUE(Exists(p2));
}

TEST(UniqueFile, TempPathIsReturnedEvenOnFailure) {
  setenv("TMPDIR", (TestRoot() + "/tmp").c_str(), 1);
  CFileHandle h;
  std::string path = "unchanged";
  EXPECT_FALSE(CreateTempFile(std::string(300, 'q'), ".doc", h, path, false));
  EXPECT_EQ(path, TestRoot() + "/tmp/" + std::string(300, 'q') + ".doc");
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace
