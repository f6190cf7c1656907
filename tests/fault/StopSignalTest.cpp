// The program stopped part way through a long send or fetch: a signal makes
// it remove what it made and end with 128 + the signal. The progress line is
// drawn on a terminal only.

#include "ProgramSettings.h"
#include "app/PointerDoc.h"
#include "app/PublishRegister.h"
#include "support/NginxServer.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"
#include "../gannet/ScriptedServer.h"

#include <gtest/gtest.h>

#include <csignal>

namespace {

using testing_support::ListDir;
using testing_support::MakeDir;
using testing_support::ReadFile;
using testing_support::TestRoot;

constexpr size_t kRemoteSize = 8 << 20;

class StopSignalTest : public testing::Test {
 protected:
  void SetUp() override {
    m_www = MakeDir("www");
    m_src = MakeDir("src");
    WriteProgramSettings("http://127.0.0.1/", m_www, 1, 1);
    // Sizes that cost no disk: a send of 300 MB for the whole run, one of 3 GB
    // that is still under way however fast the machine is.
    ASSERT_EQ(testing_support::Run("cd '" + m_src + "' && truncate -s 300M big.bin && " +
                                   "truncate -s 3G huge.bin"),
              0);
  }

  // Runs the program with `args`, sends `signal` after `afterMs` and
  // returns its exit status.
  static int RunAndSignal(const std::string& args, int signal, int afterMs) {
    // The shell would start it with SIGINT ignored, as a background job.
    return testing_support::Run("env --default-signal " QUIVER_EXECUTABLE " " + args + " & sleep " +
                                std::to_string(afterMs / 1000.0) + "; kill -" +
                                std::to_string(signal) + " $!; wait $!");
  }

  std::string m_www;
  std::string m_src;
};

TEST_F(StopSignalTest, ASignalCancelsTheSendOrFetchAndLeavesNothing) {
  CScriptedServer server("HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kRemoteSize) +
                             "\r\n\r\n" + std::string(kRemoteSize, 'r'),
                         CScriptedServer::Mode::kTrickle);
  CPointerDoc remote;
  remote.SetUrl(server.Url("/remote.dat"));
  remote.SetSize(kRemoteSize);
  ASSERT_TRUE(remote.WriteToFile(m_src + "/remote.qvr"));
  const struct {
    bool fetch;
    int signal, afterMs;
  } rows[] = {{false, SIGTERM, 300},
              {false, SIGINT, 1500},
              {false, SIGHUP, 800},
              {true, SIGTERM, 300},
              {true, SIGINT, 1500}};
  for (const auto& row : rows) {
    const std::string args =
        row.fetch ? "'" + m_src + "/remote.qvr'" : "-s '" + m_src + "/huge.bin'";
    SCOPED_TRACE(args + ", signal " + std::to_string(row.signal) + " after " +
                 std::to_string(row.afterMs) + " ms");
    EXPECT_EQ(RunAndSignal(args, row.signal, row.afterMs), 128 + row.signal);
    EXPECT_EQ(ListDir(m_www), std::vector<std::string>());
    EXPECT_EQ(ListDir(TestRoot() + "/tmp"), std::vector<std::string>());
    EXPECT_EQ(ListDir(m_src), std::vector<std::string>({"big.bin", "huge.bin", "remote.qvr"}));
  }
}

// The pointer file is the point of no return: a stop before it leaves
// nothing, one after it leaves the send published and recorded, never a
// published file without its register entry or its pointer file.
TEST_F(StopSignalTest, AStopAtTheEndOfASendLeavesAllOrNothing) {
  ASSERT_EQ(testing_support::Run("head -c 10M /dev/urandom > '" + m_src + "/ten.bin'"), 0);
  const std::string count = "sqlite3 '" + CPublishRegister::DefaultPath() +
                            "' \"SELECT count(*) FROM published WHERE state = ''\" > '" +
                            m_src + "/count' 2>/dev/null";
  size_t published = 0;
  for (const int afterMs : {100, 150, 200, 250, 300, 350}) {
    SCOPED_TRACE(afterMs);
    const int status = RunAndSignal("-s '" + m_src + "/ten.bin'", SIGTERM, afterMs);
    EXPECT_TRUE(status == 0 || status == 128 + SIGTERM) << status;
    const bool sent = testing_support::Exists(m_src + "/ten.qvr");
    published += sent;
    testing_support::Run(count);
    EXPECT_EQ(ListDir(m_www).size(), published);
    EXPECT_EQ(std::stoul("0" + ReadFile(m_src + "/count")), published);
    unlink((m_src + "/ten.qvr").c_str());
  }
}

// Received and opened, a Strong-decrypted file waits in the temporary folder
// for its viewer; a logout must not leave it there.
TEST_F(StopSignalTest, ASignalWhileTheViewerIsOpenRemovesTheDecodedFile) {
  testing_support::UsePrivateDesktop();
  testing_support::InstallDefaultApplication("viewer", "#!/bin/sh\nexec sleep 5\n",
                                             {"text/plain"});
  testing_support::CNginxServer web(m_www);
  WriteProgramSettings(web.BaseUrl(), m_www, 1, 2);
  testing_support::WriteFile(m_src + "/note.txt", "for your eyes only\n");
  ASSERT_EQ(RunQuiver({"-s", m_src + "/note.txt"}).status, 0);
  const std::string tmp = TestRoot() + "/tmp";
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    SCOPED_TRACE(signal);
    const int status = testing_support::Run(
        "env --default-signal " QUIVER_EXECUTABLE " '" + m_src + "/note.qvr' & " +
        "for i in $(seq 1000); do [ -e '" + tmp + "/note.txt' ] && break; sleep 0.01; done; " +
        "kill -" + std::to_string(signal) + " $!; wait $!");
    EXPECT_EQ(status, 128 + signal);
    EXPECT_EQ(ListDir(tmp), std::vector<std::string>());
  }
}

TEST_F(StopSignalTest, TheProgressLineIsDrawnOnATerminalOnly) {
  const std::string send = std::string(QUIVER_EXECUTABLE) + " -s '" + m_src + "/big.bin'";
  const std::string out = TestRoot() + "/out";
  const struct {
    std::string command;
    bool drawn;
  } rows[] = {{"script -qec \"" + send + "\" /dev/null >'" + out + "'", true},
              {send + " 2>'" + out + "'", false}};
  for (const auto& row : rows) {
    ASSERT_EQ(testing_support::Run(row.command), 0) << row.command;
    const std::string text = ReadFile(out);
    EXPECT_EQ(text.find("\r\033[KSending big.bin: ") != std::string::npos, row.drawn) << text;
    EXPECT_EQ(row.drawn ? text.substr(text.rfind('\r')) : text, row.drawn ? "\r\033[K" : "");
  }
}

}  // namespace
