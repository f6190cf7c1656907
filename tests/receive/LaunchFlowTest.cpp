#include "ReceiveFixture.h"

#include "app/QuiverApp.h"

#include <chrono>
#include <unistd.h>

using namespace testing_support;

namespace {

using Clock = std::chrono::steady_clock;

class LaunchFlowTest : public ReceiveTest {
 protected:
  bool FetchAndLaunch(const std::string& pointer, int deleteTempFiles) {
    return ReceiveTest::FetchAndLaunch(pointer, deleteTempFiles, ui, &tracked);
  }

  CRecordingUserInterface ui;
  size_t tracked = 0;
};

TEST_F(LaunchFlowTest, WithDeleteTempFilesTheEndWaitsForTheApplication) {
  const std::string pointer = Send("report.txt", "hello", 1, 1);
  const auto start = Clock::now();
  ASSERT_TRUE(FetchAndLaunch(pointer, 1));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(400));
  EXPECT_EQ(tracked, 1u);
  EXPECT_TRUE(Exists(copies + "/marker0"));
  EXPECT_EQ(ReadFile(copies + "/copy0"), "hello");
  EXPECT_EQ(ReadFile(copies + "/path0"), TempDir() + "/report.txt");
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(ui.events.empty());
}

// Applications that hand the file to another process and exit at once: the
// file stays until that process is done with it, at least the grace after
// the exit, and goes once nobody has it open.
TEST_F(LaunchFlowTest, AFileHandedOnStaysUntilNoProcessHasItOpen) {
  struct Case {
    const char* name;
    const char* copy;
    std::chrono::milliseconds least;
  };
  for (const Case& c : {Case{"slides.pdf", "/handed", kGrace},
                        Case{"letter.rtf", "/held", std::chrono::seconds(2)}}) {
    SCOPED_TRACE(c.name);
    const std::string pointer = Send(c.name, c.name, 1, 1);
    const auto start = Clock::now();
    ASSERT_TRUE(FetchAndLaunch(pointer, 1));
    EXPECT_GE(Clock::now() - start, c.least);
    EXPECT_LT(Clock::now() - start, c.least + std::chrono::seconds(3));
    for (int i = 0; i < 40 && !Exists(copies + c.copy); ++i) usleep(50000);
    EXPECT_EQ(ReadFile(copies + c.copy), c.name);
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(ui.events.empty());
  }
}

// A program or script is opened only when the user says Yes; otherwise it
// stays where the question said and nothing runs.
TEST_F(LaunchFlowTest, ProgramsAreOpenedOnlyWhenTheUserSaysSo) {
  const std::pair<std::string, std::string> programs[] = {
      {"run.sh", "#!/bin/sh\necho hi\n"},
      {"setup.desktop", "[Desktop Entry]\nType=Application\nExec=sh\n"},
      {"tool.jar", "PK\x03\x04"},
      {"a.out", "\x7f" "ELF\x02\x01\x01"}};
  for (const auto& [name, content] : programs) {
    SCOPED_TRACE(name);
    const std::string pointer = Send(name, content, 1, 0);
    const std::string local = TempDir() + "/" + name;
    ui.events.clear();
    EXPECT_FALSE(FetchAndLaunch(pointer, 1));
    EXPECT_EQ(ui.events, std::vector<std::string>({"question: " + local +
                                                   " is a program or script. Opening it may run "
                                                   "it on your computer. Open it anyway?"}));
    // Declined, the decoded program goes at once.
    EXPECT_FALSE(Exists(local));
    EXPECT_EQ(tracked, 0u);
  }
  ui.yesAnswer = true;
  ui.events.clear();
  EXPECT_TRUE(FetchAndLaunch(Send("go.sh", "#!/bin/sh\n", 0, 0), 1));
  EXPECT_EQ(ui.events.size(), 1u);
  EXPECT_EQ(ReadFile(copies + "/copy0"), "#!/bin/sh\n");
  ui.events.clear();
  EXPECT_TRUE(FetchAndLaunch(Send("notes.txt", "#!/bin/sh\n", 0, 0), 1));
  EXPECT_TRUE(ui.events.empty());
}

TEST_F(LaunchFlowTest, WithoutDeleteTempFilesNothingWaitsAndTheFileStays) {
  const std::string pointer = Send("report.txt", "kept", 0, 1);
  ASSERT_TRUE(FetchAndLaunch(pointer, 0));
  EXPECT_EQ(tracked, 0u);
  EXPECT_FALSE(Exists(copies + "/marker0"));
  EXPECT_EQ(TempFiles(), std::vector<std::string>({"report.txt"}));
  for (int i = 0; i < 100 && !Exists(copies + "/marker0"); ++i) usleep(50000);
  EXPECT_EQ(ReadFile(copies + "/copy0"), "kept");
  unlink((TempDir() + "/report.txt").c_str());
}

TEST_F(LaunchFlowTest, NoApplicationAsksWhetherToKeepTheFile) {
  const std::string pointer = Send("data.dat", "binary", 1, 0);
  for (bool keep : {false, true}) {
    ui.yesAnswer = keep;
    ui.events.clear();
    EXPECT_FALSE(FetchAndLaunch(pointer, 1));
    ASSERT_EQ(ui.events.size(), 1u);
    const std::string expectedPath = TempDir() + "/data.dat";
    EXPECT_EQ(ui.events[0], "question: Problem launching application on " + expectedPath +
                                "\r\n(check your associations).  Keep the file?");
    EXPECT_EQ(Exists(expectedPath), keep);
    EXPECT_EQ(tracked, 0u);
  }
  unlink((TempDir() + "/data.dat").c_str());
}

TEST_F(LaunchFlowTest, FailuresAreReportedWithTheirContext) {
  const std::string pointer = Send("gone.txt", "soon gone", 1, 1);
  unlink((published + "/gone.txt").c_str());
  EXPECT_FALSE(FetchAndLaunch(pointer, 1));
  CPointerDoc doc;
  ASSERT_TRUE(doc.ReadFromFile(pointer));
  EXPECT_EQ(ui.events, std::vector<std::string>(
                           {"warning: Problem fetching " + doc.GetUrl() +
                            ": The system cannot find the file specified. The server has no such "
                            "file: it may have expired or been removed."}));
  ui.events.clear();
  doc.SetUrl("ftp://127.0.0.1/gone.txt");
  ASSERT_TRUE(doc.WriteToFile(sources + "/ftp.qvr"));
  EXPECT_FALSE(FetchAndLaunch(sources + "/ftp.qvr", 1));
  EXPECT_EQ(ui.events, std::vector<std::string>(
                           {"warning: Problem fetching ftp://127.0.0.1/gone.txt: The request is not "
                            "supported. Quiver fetches only http:// and https:// addresses."}));
  ui.events.clear();
  WriteFile(sources + "/junk.qvr", "not a pointer file");
  EXPECT_FALSE(FetchAndLaunch(sources + "/junk.qvr", 1));
  EXPECT_EQ(ui.events, std::vector<std::string>({"warning: Problem reading " + sources +
                                                 "/junk.qvr: The data is invalid."}));
  EXPECT_TRUE(TempFiles().empty());
}

// "a.doc B.QVR c.txt": a.doc is sent, B.QVR fetched and opened, c.txt sent,
// and the program ends once the opened application has exited.
TEST_F(LaunchFlowTest, TheCommandLineMixesSendingAndOpening) {
  StoreSettings(1, 1, 1);
  const std::string pointer = Send("letter.doc", "dear reader", 1, 1);
  rename(pointer.c_str(), (sources + "/B.QVR").c_str());
  WriteFile(sources + "/a.doc", "first");
  WriteFile(sources + "/c.txt", "third");
  CQuiverApp app(ui);
  const std::string a = sources + "/a.doc", b = sources + "/B.QVR", c = sources + "/c.txt";
  const char* argv[] = {"quiver", a.c_str(), b.c_str(), c.c_str(), nullptr};
  EXPECT_EQ(app.InitInstance(4, argv), 0);
  EXPECT_TRUE(ui.events.empty());
  EXPECT_EQ(ListDir(published), std::vector<std::string>({"a.doc", "c.txt", "letter.doc"}));
  EXPECT_TRUE(Exists(sources + "/a.qvr"));
  EXPECT_TRUE(Exists(sources + "/c.qvr"));
  EXPECT_EQ(ReadFile(copies + "/copy0"), "dear reader");
  EXPECT_TRUE(Exists(copies + "/marker0"));
  EXPECT_TRUE(TempFiles().empty());

  const std::string missing = sources + "/absent.doc";
  const char* failing[] = {"quiver", missing.c_str(), nullptr};
  CQuiverApp second(ui);
  EXPECT_EQ(second.InitInstance(2, failing), 1);
  EXPECT_EQ(ui.events.back(),
            "warning: Problem sending " + missing + ": The system cannot find the file specified.");
}

}  // namespace
