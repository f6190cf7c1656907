#include "platform/Directories.h"
#include "platform/SettingsStore.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string dir = MakeDir("store");
  std::string path = dir + "/a/b/Quiver.ini";
};

TEST_F(SettingsStoreTest, LoadingCreatesTheDirectoriesAndAnEmptyStore) {
  CSettingsStore store(path);
  store.Load();
  struct stat st;
  EXPECT_EQ(stat((dir + "/a/b").c_str(), &st), 0);
  std::string s;
  EXPECT_FALSE(store.GetString("Settings", "UrlRoot", s));
  EXPECT_FALSE(Exists(path));
}

TEST_F(SettingsStoreTest, StringsWithEscapesAndAnyLengthRoundTrip) {
  const std::string values[] = {"", "plain", "back\\slash", "two\nlines\r\n", "\\n literal",
                                std::string(100000, 'v'), "tail\\", "x=y=z", " blanks "};
  CSettingsStore store(path);
  store.Load();
  for (size_t i = 0; i < std::size(values); ++i) {
    store.SetString("Settings", "V" + std::to_string(i), values[i]);
  }
  ASSERT_TRUE(store.Commit());
  CSettingsStore again(path);
  again.Load();
  for (size_t i = 0; i < std::size(values); ++i) {
    std::string read;
    ASSERT_TRUE(again.GetString("Settings", "V" + std::to_string(i), read));
    EXPECT_EQ(read, values[i]);
  }
}

TEST_F(SettingsStoreTest, IntegersOfTheWrongKindReadAsMissing) {
  const std::pair<std::string, bool> cases[] = {
      {"7", true},          {"-2147483648", true}, {"+5", true},    {" 12 ", true},
      {"2147483648", false}, {"abc", false},       {"", false},     {"1.5", false},
      {"0x10", false},      {"9999999999999999999999", false},    {"--1", false},
  };
  std::string text = "[Settings]\n";
  for (size_t i = 0; i < std::size(cases); ++i) {
    text += "I" + std::to_string(i) + "=" + cases[i].first + "\n";
  }
  CSettingsStore(path).Load();
  WriteFile(path, text);
  CSettingsStore store(path);
  store.Load();
  for (size_t i = 0; i < std::size(cases); ++i) {
    int32_t v = 42;
    EXPECT_EQ(store.GetInt("Settings", "I" + std::to_string(i), v), cases[i].second)
        << cases[i].first;
  }
}

TEST_F(SettingsStoreTest, GarbageBinaryOrDirectoryReadsAsEmpty) {
  CSettingsStore(path).Load();
  std::string binary = RandomBytes(4096, 3);
  const std::string contents[] = {binary, "no sections here\nUrlRoot=x\n", "[Settings\n==\n[]\n="};
  for (const std::string& garbage : contents) {
    WriteFile(path, garbage);
    CSettingsStore store(path);
    store.Load();
    std::string s;
    EXPECT_FALSE(store.GetString("Settings", "UrlRoot", s));
  }
  unlink(path.c_str());
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  CSettingsStore store(path);
  store.Load();
  store.SetInt("Settings", "CompressType", 0);
  EXPECT_FALSE(store.Commit());
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(ListDir(dir + "/a/b"), std::vector<std::string>({"Quiver.ini", "Quiver.ini.lock"}));
}

// Hand-edited lines read as written (the loose form would read each otherwise).
TEST_F(SettingsStoreTest, HandEditedLinesReadExactly) {
  CSettingsStore(path).Load();
  WriteFile(path, "[ Settings ]\nA=a\n[settings]\nA=b\n[Settings]\nB= b \t\r\nb=c\nC=1\nC=2\r\r\n");
  CSettingsStore store(path);
  store.Load();
  const char* const cases[][2] = {{"A", "none"}, {"B", " b \t"}, {"b", "c"}, {"C", "2\r"}};
  for (const auto& [name, want] : cases) {
    std::string read = "none";
    store.GetString("Settings", name, read);
    EXPECT_EQ(read, want) << name;
  }
}

// The XDG rule, read afresh on every call (GLib's first answer would stay).
TEST(UserDirectoriesTest, FollowTheEnvironmentOnEveryCall) {
  const char* const names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
  const std::string saved[] = {getenv(names[0]), getenv(names[1]), getenv(names[2])};
  const char* const cases[][4] = {{"/x/y/", "/h", "/x/y", "/x/y"},
                                  {"relative", "/h", "/h/.config", "/h/.local/share"},
                                  {"", "", "/.config", "/.local/share"}};
  for (const auto& [xdg, home, config, data] : cases) {
    for (const char* name : names) setenv(name, name == names[0] ? home : xdg, 1);
    EXPECT_EQ(UserConfigDirectory(), config);
    EXPECT_EQ(UserDataDirectory(), data);
  }
  for (int i = 0; i < 3; ++i) setenv(names[i], saved[i].c_str(), 1);
}

TEST_F(SettingsStoreTest, CommitKeepsOtherSectionsAndKeys) {
  CSettingsStore(path).Load();
  WriteFile(path, "[Other]\nKeep=1\n[Settings]\nUrlRoot=old\nExtra=yes\n");
  CSettingsStore store(path);
  store.Load();
  store.SetString("Settings", "UrlRoot", "new");
  ASSERT_TRUE(store.Commit());
  EXPECT_EQ(ReadFile(path), "[Other]\nKeep=1\n\n[Settings]\nUrlRoot=new\nExtra=yes\n");
}

// A file that cannot be read whole must not be replaced by a merge of its
// readable part: the save fails and the file (here a link) stays as it was.
TEST_F(SettingsStoreTest, AReadErrorAbortsTheSave) {
  CSettingsStore(path).Load();
  for (const char* target : {"/proc/self/mem", "/proc/self"}) {
    SCOPED_TRACE(target);
    unlink(path.c_str());
    ASSERT_EQ(symlink(target, path.c_str()), 0);
    CSettingsStore store(path);
    store.SetInt("Settings", "CompressType", 0);
    EXPECT_FALSE(store.Commit());
    char link[64] = {};
    EXPECT_EQ(readlink(path.c_str(), link, sizeof link - 1), ssize_t(strlen(target)));
  }
}

// Two processes commit whole records as fast as they can; a reader must only
// ever see one writer's record complete, never a torn or mixed file.
TEST_F(SettingsStoreTest, ConcurrentWritersNeverTearTheFile) {
  CSettingsStore(path).Load();
  auto writer = [&](const std::string& who) {
    for (int round = 0; round < 200; ++round) {
      CSettingsStore store(path);
      store.Load();
      for (int k = 0; k < 7; ++k) {
        store.SetString("Settings", "K" + std::to_string(k), who + std::string(300, 'x'));
      }
      if (!store.Commit()) _exit(1);
    }
    _exit(0);
  };
  pid_t a = fork();
  if (a == 0) writer("A");
  pid_t b = fork();
  if (b == 0) writer("B");
  int torn = 0;
  for (int i = 0; i < 300; ++i) {
    CSettingsStore store(path);
    store.Load();
    std::string first;
    if (!store.GetString("Settings", "K0", first)) continue;
    for (int k = 1; k < 7; ++k) {
      std::string v;
      if (!store.GetString("Settings", "K" + std::to_string(k), v) || v != first) ++torn;
    }
  }
  int sa = 0, sb = 0;
  waitpid(a, &sa, 0);
  waitpid(b, &sb, 0);
  EXPECT_EQ(WEXITSTATUS(sa), 0);
  EXPECT_EQ(WEXITSTATUS(sb), 0);
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(ListDir(dir + "/a/b"), std::vector<std::string>({"Quiver.ini", "Quiver.ini.lock"}));
}

}  // namespace
