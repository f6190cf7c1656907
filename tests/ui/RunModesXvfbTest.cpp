// The quiver program itself on a real X server (Xvfb): every run mode that
// opens a window brings up that window with its title. The windows are
// found with xwininfo and the program is ended with a signal.

#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

// Output of a shell command.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

class RunModesXvfbTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (testing_support::Run("command -v Xvfb >/dev/null && command -v xwininfo >/dev/null") != 0)
      return;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    // -noreset: by default the server resets whenever its last client
    // leaves, and refuses connections while it does; every xwininfo poll and
    // every ended quiver would open such a window.
    s_server = new CChildProcess({"Xvfb", "-displayfd", "3", "-noreset", "-nolisten", "tcp",
                                  "-screen", "0", "1024x768x24"},
                                 600, {{fds[1], 3}});
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    s_display = ":" + number;
  }
  static void TearDownTestSuite() {
    delete s_server;
    s_server = nullptr;
  }

  void SetUp() override {
    if (s_display.empty() || s_display == ":") GTEST_SKIP() << "Xvfb or xwininfo is missing";
    setenv("DISPLAY", s_display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("QT_QPA_PLATFORM");
    m_www = MakeDir("www");
    m_settingsFile =
        testing_support::WriteSettingsFile("UrlRoot=http://127.0.0.1/\nFileRoot=" + m_www + "/\n");
  }

  // The names of the top-level windows on the display.
  static std::string Windows() {
    return Capture("xwininfo -root -tree -display " + s_display + " 2>/dev/null");
  }
  // Waits until a window titled `title` is on the display.
  static bool WaitForWindow(const std::string& title) {
    const std::string wanted = "\"" + title + "\": (\"quiver\"";
    for (auto end = std::chrono::steady_clock::now() + 30s;
         std::chrono::steady_clock::now() < end;) {
      if (Windows().find(wanted) != std::string::npos) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  std::string m_www;
  std::string m_settingsFile;
  static CChildProcess* s_server;
  static std::string s_display;
};

CChildProcess* RunModesXvfbTest::s_server = nullptr;
std::string RunModesXvfbTest::s_display;

TEST_F(RunModesXvfbTest, EveryWindowRunModeShowsItsWindow) {
  const struct {
    std::vector<std::string> args;
    const char* title;
  } cases[] = {
      {{}, "Quiver Send"},      {{"-v", "x.qvr"}, "Quiver View"}, {{"-P"}, "Quiver Preferences"},
      {{"-V"}, "About Quiver"}, {{"-x"}, "Quiver Usage"}, {{"--check"}, "Quiver Publishing Check"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.title);
    std::vector<std::string> argv = {QUIVER_EXECUTABLE};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    CChildProcess quiver(argv, 120);
    EXPECT_TRUE(WaitForWindow(c.title)) << Windows();
    EXPECT_TRUE(quiver.Running()) << "the program ended with its window";
    quiver.Stop();
  }
}

// Without complete settings the preferences come first.
TEST_F(RunModesXvfbTest, IncompleteSettingsBringThePreferencesFirst) {
  WriteFile(m_settingsFile, "[Settings]\n");
  CChildProcess quiver({QUIVER_EXECUTABLE}, 120);
  EXPECT_TRUE(WaitForWindow("Quiver Preferences")) << Windows();
  EXPECT_EQ(Windows().find("\"Quiver Send\""), std::string::npos);
}

}  // namespace
