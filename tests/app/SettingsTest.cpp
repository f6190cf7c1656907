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
  EXPECT_EQ(s.urlRoot, "");
  EXPECT_EQ(s.fileRoot, "");
  EXPECT_EQ(s.urlFileDir, "");
  EXPECT_EQ(s.compressType, 1);
  EXPECT_EQ(s.encryptType, 2) << "a first send publishes nothing a stranger can read";
  EXPECT_EQ(s.hasUrlFileDir, 0);
  EXPECT_EQ(s.deleteTempFiles, 1);
  EXPECT_EQ(s.keepDays, 0);
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
    EXPECT_EQ(s.urlRoot, c.url);
    EXPECT_EQ(s.fileRoot, c.file);
    EXPECT_EQ(s.urlFileDir, c.dir);
  }
}

TEST_F(SettingsTest, WrongKindValuesFallBackToDefaults) {
  WriteStore("CompressType=LZ\nEncryptType=\nHasUrlFileDir=1e3\nDeleteTempFiles=0\n"
             "UrlRoot=7\nFileRoot=" + std::string(70000, 'f') + "\n");
  const CSettings s = LoadFresh();
  EXPECT_EQ(s.compressType, 1);
  EXPECT_EQ(s.encryptType, 2);
  EXPECT_EQ(s.hasUrlFileDir, 0);
  EXPECT_EQ(s.deleteTempFiles, 0);
  EXPECT_EQ(s.urlRoot, "7/");
  EXPECT_EQ(s.fileRoot, std::string(70000, 'f') + "/");
}

TEST_F(SettingsTest, SaveWritesEveryValueInOrder) {
  CSettings s;
  s.urlRoot = "http://host/q";
  s.fileRoot = "/srv/q";
  s.compressType = 0;
  s.encryptType = 7;
  s.hasUrlFileDir = 1;
  s.urlFileDir = "";
  s.deleteTempFiles = -3;
  s.keepDays = 30;
  app.SaveSettings(s);
  EXPECT_EQ(ReadFile(app.ProfilePath()),
            "[Settings]\nUrlRoot=http://host/q/\nFileRoot=/srv/q/\nCompressType=0\n"
            "EncryptType=7\nHasUrlFileDir=1\nUrlFileDir=\nDeleteTempFiles=-3\nKeepDays=30\n");
  const CSettings back = LoadFresh();
  EXPECT_EQ(back.keepDays, 30);
  EXPECT_EQ(back.encryptType, 7);
  EXPECT_EQ(back.urlFileDir, "");
  EXPECT_TRUE(back.IsComplete());
}

TEST(SettingsRecordTest, SavesAndLoadsEveryValueThroughAnyProfile) {
  CMemoryProfile profile;
  CSettings s;
  s.urlRoot = "http://h/q";
  s.fileRoot = "/srv/q";
  s.compressType = 0;
  s.encryptType = 7;
  s.deleteTempFiles = 0;
  s.Save(profile, "P");
  EXPECT_EQ(profile.values.size(), 8u);
  EXPECT_EQ(profile.values["P/FileRoot"], "/srv/q/");
  CSettings back;
  back.Load(profile, "P");
  EXPECT_EQ(back.urlRoot, "http://h/q/");
  EXPECT_EQ(back.compressType, 0);
  EXPECT_EQ(back.encryptType, 7);
  EXPECT_EQ(back.deleteTempFiles, 0);
  CSettings fromEmpty;
  fromEmpty.Load(profile, "Other");
  EXPECT_EQ(fromEmpty.compressType, 1);
  EXPECT_FALSE(fromEmpty.IsComplete());
}

TEST_F(SettingsTest, AssignCopiesAndNormalizes) {
  CSettings a;
  a.urlRoot = "u";
  a.fileRoot = "f";
  a.urlFileDir = "d";
  a.compressType = 0;
  CSettings b;
  b.Assign(a);
  EXPECT_EQ(b.urlRoot, "u/");
  EXPECT_EQ(b.fileRoot, "f/");
  EXPECT_EQ(b.urlFileDir, "d/");
  EXPECT_EQ(b.compressType, 0);
  EXPECT_EQ(a.urlRoot, "u");
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
      s.urlRoot = std::string("http://") + root;
      s.fileRoot = std::string("/srv/") + root;
      s.urlFileDir = std::string("/ptr/") + root;
      s.compressType = type;
      s.encryptType = type;
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
  const std::string who = s.urlRoot == "http://a/" ? "a" : "b";
  EXPECT_EQ(s.fileRoot, "/srv/" + who + "/");
  EXPECT_EQ(s.urlFileDir, "/ptr/" + who + "/");
  EXPECT_EQ(s.compressType, who == "a" ? 0 : 1);
  EXPECT_EQ(s.encryptType, who == "a" ? 0 : 1);
}

}  // namespace
