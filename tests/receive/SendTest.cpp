#include "ReceiveFixture.h"

#include "app/UniqueFile.h"
#include "platform/SystemError.h"

#include "support/ChildProcess.h"

#include <cstdlib>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;

namespace {

// `mount` shows `backing` through a file system that fails the close of
// every file written there, as a network file system reports a delayed
// write error. False when this machine cannot mount it.
bool MountFailingClose(const std::string& backing, const std::string& mount,
                       std::unique_ptr<CChildProcess>& fs) {
  fs = std::make_unique<CChildProcess>(
      std::vector<std::string>{FAILING_CLOSE_FS, backing, mount, "-f", "-s"}, 120);
  struct stat inside, outside;
  for (int i = 0; i < 100 && stat(TestRoot().c_str(), &outside) == 0; ++i, usleep(50000)) {
    if (stat(mount.c_str(), &inside) == 0 && inside.st_dev != outside.st_dev) return true;
  }
  return false;
}

// The close of the published or the decoded file fails: the operation fails
// with the system's code and leaves nothing behind, as after a failed write.
TEST_F(ReceiveTest, AFailedCloseFailsTheSendAndTheFetch) {
  const std::string backing = MakeDir("backing"), mount = MakeDir("mount");
  std::unique_ptr<CChildProcess> fs;
  if (!MountFailingClose(backing, mount, fs)) GTEST_SKIP() << "no FUSE on this machine";
  const std::string content = SampleText(100000);
  WriteFile(sources + "/figures.txt", content);
  CPointerDoc doc;
  doc.BuildChain(settings);
  EXPECT_FALSE(doc.Send(sources + "/figures.qvr", sources + "/figures.txt", settings.urlRoot,
                        mount + "/"));
  EXPECT_EQ(doc.GetError(), ERROR_IO_DEVICE);
  EXPECT_FALSE(Exists(sources + "/figures.qvr"));
  EXPECT_EQ(ListDir(backing), std::vector<std::string>());

  const std::string pointer = Send("fetched.txt", content, 1, 1);
  const std::string tmp = std::getenv("TMPDIR");
  setenv("TMPDIR", mount.c_str(), 1);
  uint32_t error = 0;
  EXPECT_EQ(Fetch(pointer, &error), "");
  setenv("TMPDIR", tmp.c_str(), 1);
  EXPECT_EQ(error, ERROR_IO_DEVICE);
  EXPECT_EQ(ListDir(backing), std::vector<std::string>());
}

TEST_F(ReceiveTest, SendingNamesWithoutOverwriting) {
  WriteFile(sources + "/report.doc", "v1");
  const std::pair<std::string, std::string> expected[] = {
      {"report.doc", "report.doc"}, {"report.doc", "repo0000.doc"}, {"report.doc", "repo0001.doc"},
      {"README", "README"},         {"README", "READ0000"},
  };
  for (const auto& [source, name] : expected) {
    WriteFile(sources + "/" + source, "content of " + source);
    CPointerDoc doc;
    ASSERT_TRUE(doc.Send(sources + "/x.qvr", sources + "/" + source, settings.urlRoot,
                         settings.fileRoot));
    EXPECT_EQ(doc.GetUrl(), settings.urlRoot + name);
    EXPECT_EQ(ReadFile(published + "/" + name), "content of " + source);
    EXPECT_EQ(doc.GetSize(), ("content of " + source).size());
  }
}

TEST_F(ReceiveTest, SendFailuresRemoveOrKeepTheEncodedFile) {
  WriteFile(sources + "/report.doc", "data");
  struct Case {
    std::string label, pointer, source, fileRoot;
    uint32_t code;
    std::vector<std::string> left;
  };
  const Case cases[] = {
      {"missing FileRoot", sources + "/a.qvr", sources + "/report.doc", published + "/nope/",
       ERROR_PATH_NOT_FOUND, {}},
      {"missing source", sources + "/a.qvr", sources + "/absent.doc", settings.fileRoot,
       ERROR_FILE_NOT_FOUND, {}},
      {"source is a folder", sources + "/a.qvr", sources, settings.fileRoot,
       ERROR_ACCESS_DENIED, {}},
      {"pointer file unwritable", sources + "/no/a.qvr", sources + "/report.doc",
       settings.fileRoot, ERROR_PATH_NOT_FOUND, {}},
  };
  for (const Case& c : cases) {
    for (int compress : {0, 1}) {
      CSettings chosen = settings;
      chosen.compressType = compress;
      CPointerDoc doc;
      doc.BuildChain(chosen);
      EXPECT_FALSE(doc.Send(c.pointer, c.source, chosen.urlRoot, c.fileRoot)) << c.label;
      EXPECT_EQ(doc.GetError(), c.code) << c.label;
      EXPECT_EQ(ListDir(published), c.left) << c.label;
      for (const std::string& name : ListDir(published)) unlink((published + "/" + name).c_str());
    }
  }
}

TEST_F(ReceiveTest, APointerFileIsNeverWrittenOverItsSource) {
  WriteFile(sources + "/x.qvr", "a pointer file being sent on");
  CPointerDoc doc;
  doc.BuildChain(settings);
  EXPECT_FALSE(doc.Send(sources + "/x.qvr", sources + "/x.qvr", settings.urlRoot,
                        settings.fileRoot));
  EXPECT_EQ(doc.GetError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(ReadFile(sources + "/x.qvr"), "a pointer file being sent on");
  EXPECT_TRUE(ListDir(published).empty());
}

TEST_F(ReceiveTest, AFullDirectoryFailsWithFour) {
  WriteFile(sources + "/x.z", "data");
  WriteFile(published + "/x.z", "");
  for (unsigned i = 0; i <= 0x3ffe; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "x%04x.z", i);
    WriteFile(published + "/" + name, "");
  }
  CPointerDoc doc;
  EXPECT_FALSE(doc.Send(sources + "/x.qvr", sources + "/x.z", settings.urlRoot,
                        settings.fileRoot));
  EXPECT_EQ(doc.GetError(), ERROR_TOO_MANY_OPEN_FILES);
  EXPECT_FALSE(Exists(sources + "/x.qvr"));
}

TEST_F(ReceiveTest, AnEmptyFileIsSentWithSizeZero) {
  const std::string pointer = Send("empty.doc", "", 1, 0);
  EXPECT_EQ(ReadFile(published + "/empty.doc"), std::string("\x1f\x9d\x90", 3));
  CPointerDoc doc;
  ASSERT_TRUE(doc.ReadFromFile(pointer));
  EXPECT_EQ(doc.GetSize(), 0u);
  EXPECT_EQ(doc.GetCompressionDescription(), "LZ (Lempel-Ziv)");
}

// Eight programs sending the same file into one published directory at once
// get eight names and eight complete files.
TEST_F(ReceiveTest, ConcurrentSendersNeverShareAName) {
  const std::string content = SampleText(300000);
  WriteFile(sources + "/shared.txt", content);
  std::vector<pid_t> children;
  for (int i = 0; i < 8; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      CPointerDoc doc;
      doc.BuildChain(settings);
      const bool ok = doc.Send(sources + "/p" + std::to_string(i) + ".qvr",
                               sources + "/shared.txt", settings.urlRoot, settings.fileRoot);
      _exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  EXPECT_EQ(ListDir(published).size(), 8u);
  std::set<std::string> urls;
  for (int i = 0; i < 8; ++i) {
    const std::string pointer = sources + "/p" + std::to_string(i) + ".qvr";
    CPointerDoc doc;
    ASSERT_TRUE(doc.ReadFromFile(pointer));
    urls.insert(doc.GetUrl());
    const std::string decoded = Fetch(pointer);
    EXPECT_TRUE(ReadFile(decoded) == content) << doc.GetUrl();
    unlink(decoded.c_str());
  }
  EXPECT_EQ(urls.size(), 8u);
}

}  // namespace
