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
                            ": The system cannot find the file specified."}));
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
