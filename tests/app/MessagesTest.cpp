#include "pipeline/Messages.h"
#include "platform/SystemError.h"
#include "RecordingUserInterface.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <pty.h>

#include <cstring>
#include <vector>

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
  ASSERT_GE(pread(fd, buffer, sizeof buffer - 1, 0), 0);
  close(fd);
  unlink(path.c_str());
  EXPECT_TRUE(kept);
  EXPECT_STREQ(buffer,
               "Quiver: Quiver parameters must be set before the program can send.\n"
               "Quiver: Keep the file? [Yes: no terminal to ask on]\n");
}

// On a terminal a question waits for y or n; Return takes the answer that
// keeps data.
TEST(ConsoleMessages, QuestionsAreAnsweredOnATerminal) {
  int master = -1, terminal = -1;
  ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, nullptr), 0);
  const int savedIn = dup(0), savedErr = dup(2);
  dup2(terminal, 0);
  dup2(terminal, 2);
  clearerr(stdin);
  CConsoleMessageBox console;
  const struct {
    const char* typed;
    bool keepsData, answer;
  } rows[] = {{"y\n", false, true}, {"n\n", true, false}, {"\n", true, true},
              {"\n", false, false}, {"maybe\nY\n", false, true}};
  std::vector<bool> answers;
  for (const auto& row : rows) {
    ASSERT_EQ(write(master, row.typed, strlen(row.typed)), static_cast<ssize_t>(strlen(row.typed)));
    answers.push_back(console.AskYesNo("Trust it?", row.keepsData));
  }
  dup2(savedIn, 0);
  dup2(savedErr, 2);
  close(savedIn);
  close(savedErr);
  close(terminal);
  char shown[4096] = {};
  const ssize_t got = read(master, shown, sizeof shown - 1);
  close(master);
  for (size_t i = 0; i < std::size(rows); ++i) EXPECT_EQ(answers[i], rows[i].answer) << i;
  const std::string text(shown, got > 0 ? static_cast<size_t>(got) : 0);
  EXPECT_NE(text.find("Quiver: Trust it? [y/N] "), std::string::npos) << text;
  EXPECT_NE(text.find("Quiver: Trust it? [Y/n] "), std::string::npos) << text;
}

}  // namespace
