#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class FileHandleTest : public ::testing::Test {
 protected:
  std::string dir = MakeDir("files");
};

TEST_F(FileHandleTest, CreateNewRefusesAnyExistingName) {
  WriteFile(dir + "/taken", "old");
  ASSERT_EQ(symlink((dir + "/elsewhere").c_str(), (dir + "/link").c_str()), 0);
  for (const char* name : {"taken", "link"}) {
    CFileHandle h;
    EXPECT_FALSE(h.CreateNew(dir + "/" + name, FileShare::None));
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS) << name;
  }
  EXPECT_EQ(ReadFile(dir + "/taken"), "old");
  EXPECT_FALSE(Exists(dir + "/elsewhere"));
}

TEST_F(FileHandleTest, CreationFailuresCarryTheirOwnCodes) {
  CFileHandle h;
  EXPECT_FALSE(h.CreateNew(dir + "/missing/file", FileShare::None));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(h.OpenForReading(dir + "/absent", FileShare::Read));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(h.OpenForReading(dir, FileShare::Read));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  const std::string longPath = dir + "/" + std::string(PATH_MAX, 'x');
  EXPECT_FALSE(h.CreateNew(longPath, FileShare::None));
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(h.IsOpen());
}

TEST_F(FileHandleTest, SharingConflictsFailWith32) {
  struct Case {
    FileShare held;
    FileShare wanted;
    bool conflict;
  };
  const Case cases[] = {
      {FileShare::None, FileShare::None, true},     {FileShare::None, FileShare::Read, true},
      {FileShare::Read, FileShare::None, true},     {FileShare::Read, FileShare::Read, false},
      {FileShare::ReadWrite, FileShare::None, false}, {FileShare::None, FileShare::ReadWrite, false},
  };
  const std::string path = dir + "/shared";
  WriteFile(path, "data");
  for (const Case& c : cases) {
    CFileHandle first;
    ASSERT_TRUE(first.OpenForReading(path, c.held));
    CFileHandle second;
    EXPECT_EQ(second.OpenForReading(path, c.wanted), !c.conflict);
    if (c.conflict) {
      EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    }
  }
}

TEST_F(FileHandleTest, CreateAlwaysTruncatesOnlyWithTheLockHeld) {
  const std::string path = dir + "/locked";
  WriteFile(path, "precious");
  CFileHandle holder;
  ASSERT_TRUE(holder.OpenForReading(path, FileShare::None));
  CFileHandle writer;
  EXPECT_FALSE(writer.CreateAlways(path, FileShare::None));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(ReadFile(path), "precious");
  holder.Close();
  ASSERT_TRUE(writer.CreateAlways(path, FileShare::None));
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(FileHandleTest, DeleteOnCloseFreesTheNameAtOnceAndKeepsTheData) {
  const std::string path = dir + "/stage";
  CFileHandle h;
  ASSERT_TRUE(h.CreateNew(path, FileShare::ReadWrite, true, 0600));
  EXPECT_FALSE(Exists(path));
  ASSERT_TRUE(h.Write("abc", 3));
  CFileHandle moved = std::move(h);
  char back[4] = {};
  size_t got = 0;
  ASSERT_TRUE(moved.Seek(0) && moved.Read(back, 3, got));
  EXPECT_EQ(std::string(back, got), "abc");
}

TEST_F(FileHandleTest, ModesFollowTheRequestLessTheUmask) {
  const mode_t old = umask(022);
  CFileHandle a, b;
  ASSERT_TRUE(a.CreateNew(dir + "/published", FileShare::None));
  ASSERT_TRUE(b.CreateNew(dir + "/private", FileShare::None, false, 0600));
  umask(old);
  struct stat st;
  ASSERT_EQ(stat((dir + "/published").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
  ASSERT_EQ(stat((dir + "/private").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(FileHandleTest, ReadsWritesAndSeeks) {
  CFileHandle h;
  ASSERT_TRUE(h.CreateNew(dir + "/rw", FileShare::None));
  ASSERT_TRUE(h.Write("hello world", 11));
  ASSERT_TRUE(h.Seek(6));
  char buf[16];
  size_t got = 0;
  ASSERT_TRUE(h.Read(buf, sizeof buf, got));
  EXPECT_EQ(std::string(buf, got), "world");
  ASSERT_TRUE(h.Read(buf, sizeof buf, got));
  EXPECT_EQ(got, 0u);
  uint64_t size = 0;
  ASSERT_TRUE(h.Size(size));
  EXPECT_EQ(size, 11u);
  EXPECT_TRUE(h.Close());
  EXPECT_FALSE(h.Read(buf, 1, got));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Whatever the source, a copy to its end holds what a read of it holds: the
// kernel copies a regular file, and reads a /proc file as empty, which must
// not end the copy.
TEST_F(FileHandleTest, CopyFromCopiesEveryKindOfSourceWhole) {
  const std::string regular = dir + "/regular";
  testing_support::WriteFile(regular, testing_support::RandomBytes(3 << 20, 5));
  for (const std::string& path : {regular, std::string("/proc/version")}) {
    SCOPED_TRACE(path);
    const std::string expected = testing_support::ReadFile(path);
    ASSERT_FALSE(expected.empty());
    CFileHandle source, target;
    ASSERT_TRUE(source.OpenForReading(path, FileShare::Read));
    ASSERT_TRUE(target.CreateAlways(dir + "/copy", FileShare::None));
    size_t copied = 1;
    while (copied != 0) ASSERT_TRUE(target.CopyFrom(source, 1 << 20, copied));
    ASSERT_TRUE(target.Close());
    std::string got;
    ASSERT_TRUE(ReadWholeFile(dir + "/copy", got));
    EXPECT_EQ(got, expected);
  }
}

}  // namespace
