// The program stopped part way through a long send or fetch: a signal makes
// it remove what it made and end with 128 + the signal. The progress line is
// drawn on a terminal only.

#include "ProgramSettings.h"
#include "app/PointerDoc.h"
#include "app/PublishRegister.h"
#include "support/NginxServer.h"
#include "support/PrivateDesktop.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"
#include "../gannet/ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <thread>

namespace {

using testing_support::ListDir;
using testing_support::MakeDir;
using testing_support::ReadFile;
using testing_support::TestRoot;
using testing_support::WriteFile;

constexpr size_t kRemoteSize = 8 << 20;

class StopSignalTest : public testing::Test {
 protected:
  void SetUp() override {
    m_www = MakeDir("www");
    m_src = MakeDir("src");
    WriteProgramSettings("http://127.0.0.1/", m_www, 1, 1);
    // Sizes that cost no disk: a send for the whole run that lasts some
    // tenths of a second though LZ codes zeros by counting, and one of a
    // terabyte that is still under way however fast the machine is.
    ASSERT_EQ(testing_support::Run("cd '" + m_src + "' && truncate -s 2G big.bin && " +
                                   "truncate -s 1T huge.bin"),
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
              {false, SIGINT, 700},
              {false, SIGHUP, 500},
              {true, SIGTERM, 300},
              {true, SIGINT, 700}};
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

// Whatever the program waits for when the stop comes (a silent server, a
// TLS handshake that never ends, a body that stops, the pause before a
// resume, a WebDAV upload that stalls, an SSH handshake that never ends), it
// ends within a second, leaving nothing behind.
TEST_F(StopSignalTest, AStopEndsEveryWaitWithinASecond) {
  using Mode = CScriptedServer::Mode;
  const std::string part = "HTTP/1.0 200 OK\r\nContent-Length: 1000000\r\nETag: \"v1\"\r\n\r\n" +
                           std::string(1000, 'p');
  const auto answer = [](const char* status) {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  };
  // The exclusivity probe, the claim, the name's check, the upload that
  // stalls, then the removal of what the upload left.
  const std::vector<std::string> dav = {answer("201 Created"),  answer("405 Not Allowed"),
                                        answer("204 No Content"), answer("201 Created"),
                                        answer("404 Not Found"),  CScriptedServer::kNoAnswer,
                                        answer("404 Not Found"),  answer("204 No Content")};
  const struct {
    const char* wait;
    std::vector<std::string> replies;
    Mode mode;
    const char* scheme;  // of the pointer file's URL, or of FileRoot for a send
    bool send;
  } rows[] = {{"silent server", {""}, Mode::kSilent, "http", false},
              {"silent TLS handshake", {""}, Mode::kSilent, "https", false},
              {"silent body", {part}, Mode::kKeepOpen, "http", false},
              {"resume pause", {part}, Mode::kReset, "http", false},
              {"stalled WebDAV upload", dav, Mode::kReply, "dav", true},
              {"silent SSH handshake", {""}, Mode::kSilent, "sftp", true}};
  WriteFile(std::string(getenv("XDG_CONFIG_HOME")) + "/w3skua.ini", "[network]\nretrywait=60000\n");
  for (const auto& row : rows) {
    for (const int signal : {SIGTERM, SIGINT}) {
      SCOPED_TRACE(std::string(row.wait) + ", signal " + std::to_string(signal));
      CScriptedServer server(row.replies, row.mode);
      const std::string root = std::string(row.scheme) + "://127.0.0.1:" +
                               std::to_string(server.Port()) + "/dav";
      std::string args = m_src + "/huge.bin";
      if (row.send) {
        // Uncompressed: the upload starts with the first block, where LZ
        // would first read gigabytes of zeros.
        WriteProgramSettings("http://127.0.0.1/", root, 0, 1);
      } else {
        CPointerDoc doc;
        doc.SetUrl(root + "/far.bin");
        doc.SetSize(1000000);
        ASSERT_TRUE(doc.WriteToFile(m_src + "/far.qvr"));
        args = m_src + "/far.qvr";
      }
      const std::vector<std::string> before = ListDir(m_src);
      std::vector<std::string> argv = {QUIVER_EXECUTABLE, args};
      if (row.send) argv.insert(argv.begin() + 1, "-s");
      testing_support::CChildProcess quiver(argv, 60);
      const size_t reached = row.replies.size() > 1 ? 6 : 1;
      while (quiver.Running() && static_cast<size_t>(server.Connections()) < reached) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      quiver.Signal(signal);
      const auto stopped = std::chrono::steady_clock::now();
      EXPECT_EQ(quiver.Wait(), 128 + signal);
      EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(1));
      EXPECT_EQ(ListDir(TestRoot() + "/tmp"), std::vector<std::string>());
      EXPECT_EQ(ListDir(m_src), before);
      if (row.replies.size() > 1) {
        EXPECT_EQ(server.Requests().back().rfind("DELETE /dav/.quiver-claim-huge.bin/", 0), 0u);
      }
      unlink((m_src + "/far.qvr").c_str());
    }
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
    EXPECT_EQ(ListSent(m_www).size(), published);
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
  } rows[] = {{"script -qec \"" + send + " >/dev/null\" /dev/null >'" + out + "'", true},
              {send + " 2>'" + out + "'", false}};
  for (const auto& row : rows) {
    ASSERT_EQ(testing_support::Run(row.command), 0) << row.command;
    const std::string text = ReadFile(out);
    EXPECT_EQ(text.find("\r\033[KSending big.bin: ") != std::string::npos, row.drawn) << text;
    EXPECT_EQ(row.drawn ? text.substr(text.rfind('\r')) : text, row.drawn ? "\r\033[K" : "");
  }
}

}  // namespace
