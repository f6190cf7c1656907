// The program stopped part way through a long send or fetch: a signal makes
// it remove what it made and end with 128 + the signal. The progress line is
// drawn on a terminal only.

#include "ProgramSettings.h"
#include "app/PointerDoc.h"
#include "support/TestFiles.h"
#include "../gannet/ScriptedServer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

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
    // A few hundred MB that cost no disk.
    ASSERT_EQ(testing_support::Run("truncate -s 300M '" + m_src + "/big.bin'"), 0);
  }

  // Runs the program with `args`, sends `signal` after `afterMs` and
  // returns its exit status.
  static int RunAndSignal(const std::vector<std::string>& args, int signal, int afterMs) {
    const pid_t pid = fork();
    if (pid == 0) {
      std::vector<char*> argv{const_cast<char*>(QUIVER_EXECUTABLE)};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    usleep(afterMs * 1000);
    kill(pid, signal);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
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
    int signal;
    int afterMs;
  } rows[] = {{false, SIGTERM, 300}, {false, SIGINT, 1500}, {false, SIGHUP, 800},
              {true, SIGTERM, 300},  {true, SIGINT, 1500}};
  for (const auto& row : rows) {
    const std::vector<std::string> args =
        row.fetch ? std::vector<std::string>{m_src + "/remote.qvr"}
                  : std::vector<std::string>{"-s", m_src + "/big.bin"};
    SCOPED_TRACE((row.fetch ? "fetch, signal " : "send, signal ") + std::to_string(row.signal) +
                 " after " + std::to_string(row.afterMs) + " ms");
    EXPECT_EQ(RunAndSignal(args, row.signal, row.afterMs), 128 + row.signal);
    EXPECT_EQ(ListDir(m_www), std::vector<std::string>());
    EXPECT_EQ(ListDir(TestRoot() + "/tmp"), std::vector<std::string>());
    EXPECT_EQ(ListDir(m_src), std::vector<std::string>({"big.bin", "remote.qvr"}));
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
