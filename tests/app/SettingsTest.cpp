#include "app/QuiverApp.h"
#include "app/Settings.h"
#include "support/TestFiles.h"
#include "MemoryProfile.h"
#include "RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest() { app.SetRegistryKey(CQuiverApp::kRegistryKey); }

  CSettings LoadFresh() {
    CQuiverApp reader(ui);
    reader.SetRegistryKey(CQuiverApp::kRegistryKey);
    CSettings s;
    s.Load(reader, "Settings");
    return s;
  }

  void WriteStore(const std::string& body) {
    LoadFresh();  // creates the directories
    WriteFile(app.ProfilePath(), "[Settings]\n" + body);
  }

  CRecordingUserInterface ui;
  CQuiverApp app{ui};
};

TEST_F(SettingsTest, FirstRunGivesTheDefaults) {
  const CSettings s = LoadFresh();
  EXPECT_EQ(s.UrlRoot(), "");
  EXPECT_EQ(s.FileRoot(), "");
  EXPECT_EQ(s.UrlFileDir(), "");
  EXPECT_EQ(s.CompressType(), 1);
  EXPECT_EQ(s.EncryptType(), 2) << "a first send publishes nothing a stranger can read";
  EXPECT_EQ(s.HasUrlFileDir(), 0);
  EXPECT_EQ(s.DeleteTempFiles(), 1);
  EXPECT_EQ(s.KeepDays(), 0);
  EXPECT_FALSE(s.IsComplete());
  EXPECT_EQ(app.ProfilePath(),
            TestRoot() + "/config/Marrow/Quiver/V1.1/Quiver.ini");
}

TEST_F(SettingsTest, LoadAddsTheTrailingSeparators) {
  struct Case {
    std::string stored, url, file, dir;
  };
  const Case cases[] = {
      {"UrlRoot=http://h/x\nFileRoot=/srv/www\nUrlFileDir=/p\n", "http://h/x/", "/srv/www/", "/p/"},
      {"UrlRoot=http://h/x/\nFileRoot=/srv/www/\n", "http://h/x/", "/srv/www/", ""},
      {"UrlRoot=http://h/x\\\\\nHasUrlFileDir=1\n", "http://h/x\\/", "", ""},
  };
  for (const Case& c : cases) {
    WriteStore(c.stored);
    const CSettings s = LoadFresh();
    EXPECT_EQ(s.UrlRoot(), c.url);
    EXPECT_EQ(s.FileRoot(), c.file);
    EXPECT_EQ(s.UrlFileDir(), c.dir);
  }
}

TEST_F(SettingsTest, WrongKindValuesFallBackToDefaults) {
  WriteStore("CompressType=LZ\nEncryptType=\nHasUrlFileDir=1e3\nDeleteTempFiles=0\n"
             "UrlRoot=7\nFileRoot=" + std::string(70000, 'f') + "\n");
  const CSettings s = LoadFresh();
  EXPECT_EQ(s.CompressType(), 1);
  EXPECT_EQ(s.EncryptType(), 2);
  EXPECT_EQ(s.HasUrlFileDir(), 0);
  EXPECT_EQ(s.DeleteTempFiles(), 0);
  EXPECT_EQ(s.UrlRoot(), "7/");
  EXPECT_EQ(s.FileRoot(), std::string(70000, 'f') + "/");
}

TEST_F(SettingsTest, SaveWritesEveryValueInOrder) {
  CSettings s;
  s.UrlRoot() = "http://host/q";
  s.FileRoot() = "/srv/q";
  s.CompressType() = 0;
  s.EncryptType() = 7;
  s.HasUrlFileDir() = 1;
  s.UrlFileDir() = "";
  s.DeleteTempFiles() = -3;
  s.KeepDays() = 30;
  app.SaveSettings(s);
  EXPECT_EQ(ReadFile(app.ProfilePath()),
            "[Settings]\nUrlRoot=http://host/q/\nFileRoot=/srv/q/\nCompressType=0\n"
            "EncryptType=7\nHasUrlFileDir=1\nUrlFileDir=\nDeleteTempFiles=-3\nKeepDays=30\n");
  const CSettings back = LoadFresh();
  EXPECT_EQ(back.KeepDays(), 30);
  EXPECT_EQ(back.EncryptType(), 7);
  EXPECT_EQ(back.UrlFileDir(), "");
  EXPECT_TRUE(back.IsComplete());
}

TEST(SettingsRecordTest, SavesAndLoadsEveryValueThroughAnyProfile) {
  CMemoryProfile profile;
  CSettings s;
  s.UrlRoot() = "http://h/q";
  s.FileRoot() = "/srv/q";
  s.CompressType() = 0;
  s.EncryptType() = 7;
  s.DeleteTempFiles() = 0;
  s.Save(profile, "P");
  EXPECT_EQ(profile.values.size(), 8u);
  EXPECT_EQ(profile.values["P/FileRoot"], "/srv/q/");
  CSettings back;
  back.Load(profile, "P");
  EXPECT_EQ(back.UrlRoot(), "http://h/q/");
  EXPECT_EQ(back.CompressType(), 0);
  EXPECT_EQ(back.EncryptType(), 7);
  EXPECT_EQ(back.DeleteTempFiles(), 0);
  CSettings fromEmpty;
  fromEmpty.Load(profile, "Other");
  EXPECT_EQ(fromEmpty.CompressType(), 1);
  EXPECT_FALSE(fromEmpty.IsComplete());
}

TEST_F(SettingsTest, AssignCopiesAndNormalizes) {
  CSettings a;
  a.UrlRoot() = "u";
  a.FileRoot() = "f";
  a.UrlFileDir() = "d";
  a.CompressType() = 0;
  CSettings b;
  b.Assign(a);
  EXPECT_EQ(b.UrlRoot(), "u/");
  EXPECT_EQ(b.FileRoot(), "f/");
  EXPECT_EQ(b.UrlFileDir(), "d/");
  EXPECT_EQ(b.CompressType(), 0);
  EXPECT_EQ(a.UrlRoot(), "u");
}

// Two programs saving different preferences at once: the file always holds
// one whole record, the last writer's.
TEST_F(SettingsTest, ConcurrentSavesLeaveOneWholeRecord) {
  LoadFresh();
  auto saver = [&](const char* root, int type) {
    for (int i = 0; i < 100; ++i) {
      CQuiverApp other(ui);
      other.SetRegistryKey(CQuiverApp::kRegistryKey);
      CSettings s;
      s.UrlRoot() = std::string("http://") + root;
      s.FileRoot() = std::string("/srv/") + root;
      s.UrlFileDir() = std::string("/ptr/") + root;
      s.CompressType() = type;
      s.EncryptType() = type;
      other.SaveSettings(s);
    }
    _exit(0);
  };
  const pid_t a = fork();
  if (a == 0) saver("a", 0);
  const pid_t b = fork();
  if (b == 0) saver("b", 1);
  waitpid(a, nullptr, 0);
  waitpid(b, nullptr, 0);
  const CSettings s = LoadFresh();
  const std::string who = s.UrlRoot() == "http://a/" ? "a" : "b";
  EXPECT_EQ(s.FileRoot(), "/srv/" + who + "/");
  EXPECT_EQ(s.UrlFileDir(), "/ptr/" + who + "/");
  EXPECT_EQ(s.CompressType(), who == "a" ? 0 : 1);
  EXPECT_EQ(s.EncryptType(), who == "a" ? 0 : 1);
}

}  // namespace
