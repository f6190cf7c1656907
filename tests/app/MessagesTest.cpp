#include "pipeline/Messages.h"
#include "platform/SystemError.h"
#include "RecordingUserInterface.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <unistd.h>

namespace {

class MessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { CMessageBox::Install(&ui); }
  void TearDown() override { CMessageBox::Install(nullptr); }
  CRecordingUserInterface ui;
};

TEST_F(MessagesTest, ReportSystemErrorJoinsContextAndSystemText) {
  ReportSystemError("Problem sending /a b.doc", ERROR_PATH_NOT_FOUND);
  SetLastError(ERROR_SHARING_VIOLATION);
  ReportSystemError("Problem reading x.qvr", 0);
  ReportSystemError("Problem fetching http://h/x", 10060);
  EXPECT_EQ(ui.events,
            std::vector<std::string>(
                {"warning: Problem sending /a b.doc: The system cannot find the path specified.",
                 "warning: Problem reading x.qvr: The process cannot access the file because it "
                 "is being used by another process.",
                 "warning: Problem fetching http://h/x: Unknown error 10060."}));
  EXPECT_EQ(ui.ReportCount(), 3);
}

TEST_F(MessagesTest, LongTextsAreShownWhole) {
  const std::string context = "Problem sending " + std::string(5000, 'p');
  ReportSystemError(context, ERROR_DISK_FULL);
  ASSERT_EQ(ui.events.size(), 1u);
  EXPECT_EQ(ui.events[0], "warning: " + context + ": There is not enough space on the disk.");
}

// Without a display a message is one line on standard error.
TEST(ConsoleMessages, AreOneLineOnStandardError) {
  std::string path = testing_support::TestRoot() + "/stderr.XXXXXX";
  const int fd = mkstemp(path.data());
  ASSERT_GE(fd, 0);
  const int saved = dup(2);
  dup2(fd, 2);
  CConsoleMessageBox console;
  CMessageBox::Install(&console);
  ShowWarning("%s parameters must be set\nbefore the program can send.", "Quiver");
  const bool kept = console.AskYesNo("Keep\r\nthe file?", true);
  CMessageBox::Install(nullptr);
  dup2(saved, 2);
  close(saved);
  char buffer[512] = {};
  pread(fd, buffer, sizeof buffer - 1, 0);
  close(fd);
  unlink(path.c_str());
  EXPECT_TRUE(kept);
  EXPECT_STREQ(buffer,
               "Quiver: Quiver parameters must be set before the program can send.\n"
               "Quiver: Keep the file? [Yes]\n");
}

}  // namespace
