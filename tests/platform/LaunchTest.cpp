// Launching through GIO's real application lookup: fixture desktop entries in
// the private XDG_DATA_HOME, defaults in the private mimeapps.list, and shell
// scripts as the applications, which record what they were given into the
// folder named by $QUIVER_LAUNCH_OUT.

#include "platform/AppLauncher.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "support/PrivateDesktop.h"
#include "support/TestFiles.h"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace testing_support;

namespace {

// Records its argument count and arguments, NUL-terminated, and copies the
// file when it was given a path.
const char kRecordScript[] = R"(#!/bin/sh
out="$QUIVER_LAUNCH_OUT"
printf '%s\0' "$#" "$@" > "$out/args.part"
if [ -f "$1" ]; then cp -- "$1" "$out/copy"; fi
mv "$out/args.part" "$out/args"
)";

const char kSlowScript[] = R"(#!/bin/sh
sleep 1
echo done > "$QUIVER_LAUNCH_OUT/marker"
)";

// Runs until the test creates "go" (or 30 s have passed), publishing its pid.
const char kGateScript[] = R"(#!/bin/sh
out="$QUIVER_LAUNCH_OUT"
echo $$ > "$out/pid.part" && mv "$out/pid.part" "$out/pid"
i=0
while [ ! -e "$out/go" ] && [ $i -lt 300 ]; do sleep 0.1; i=$((i + 1)); done
if [ -e "$out/go" ]; then echo done > "$out/marker"; fi
)";

struct FixtureApp {
  const char* id;
  const char* type;
  const char* script;
  const char* fieldCode;
  std::string extraKeys;
};

std::string AppCwd() { return TestRoot() + "/appcwd"; }

bool WaitUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 200; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return done();
}

bool ProcessExists(pid_t pid) { return kill(pid, 0) == 0 || errno != ESRCH; }

pid_t SpawnShell(const std::string& command) {
  const char* argv[] = {"sh", "-c", command.c_str(), nullptr};
  pid_t pid = -1;
  if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
    return -1;
  }
  return pid;
}

// What the recording application was given, in order.
std::vector<std::string> RecordedArgs(const std::string& out) {
  const std::string raw = ReadFile(out + "/args");
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t end; (end = raw.find('\0', start)) != std::string::npos; start = end + 1) {
    fields.push_back(raw.substr(start, end - start));
  }
  if (fields.empty() || std::to_string(fields.size() - 1) != fields[0]) {
    ADD_FAILURE() << "malformed argument record";
    return {};
  }
  fields.erase(fields.begin());
  return fields;
}

std::string PathFromUri(const std::string& uri) {
  std::unique_ptr<char, decltype(&g_free)> path(
      g_filename_from_uri(uri.c_str(), nullptr, nullptr), &g_free);
  return path ? path.get() : "<not a file URI>";
}

class LaunchTest : public ::testing::Test {
 protected:
  // GIO reads the content types once per process: the private desktop is in
  // place before its first call.
  static void SetUpTestSuite() { UsePrivateDesktop(); }

  static void WriteFixtureApps() {
    const std::string bin = TestRoot() + "/bin/";
    const std::string inCwd = "Path=" + AppCwd() + "\n";
    const FixtureApp apps[] = {
        {"record-path", "text/plain", "record", "%f", inCwd},
        {"record-paths", "image/png", "record", "%F", inCwd},
        {"record-uri", "image/gif", "record", "%u", inCwd},
        {"record-uris", "image/jpeg", "record", "%U", inCwd},
        {"slow", "image/bmp", "slow", "%f", ""},
        {"gate", "image/tiff", "gate", "%f", ""},
        {"missing", "image/webp", "/nonexistent/quiver-viewer", "%f", ""},
        {"nowhere", "audio/mpeg", "record", "%f", "Path=/nonexistent/folder\n"},
        {"org.example.QuiverProbe", "video/mp4", "record", "%f", "DBusActivatable=true\n"},
    };
    std::vector<std::pair<std::string, std::string>> defaults;
    for (const FixtureApp& app : apps) {
      const std::string program = app.script[0] == '/' ? app.script : bin + app.script;
      InstallApplication(app.id, program + " " + app.fieldCode, std::string(app.type) + ";",
                         app.extraKeys);
      defaults.emplace_back(app.type, std::string(app.id) + ".desktop");
    }
    SetDefaultApplications(defaults);
  }

  void SetUp() override {
    const std::string root = TestRoot();
    for (const char* name : {"bin", "appcwd"}) mkdir((root + "/" + name).c_str(), 0700);
    WriteScript(root + "/bin/record", kRecordScript);
    WriteScript(root + "/bin/slow", kSlowScript);
    WriteScript(root + "/bin/gate", kGateScript);
    WriteFixtureApps();
    out = MakeDir("out");
    setenv("QUIVER_LAUNCH_OUT", out.c_str(), 1);
  }

  // Creates `name` in a new folder with its own name as content.
  std::string MakeFile(const std::string& name) {
    const std::string path = MakeDir("files") + "/" + name;
    WriteFile(path, "content of " + name);
    return path;
  }

  pid_t GatePid() {
    EXPECT_TRUE(WaitUntil([&] { return Exists(out + "/pid"); }));
    return Exists(out + "/pid") ? std::atoi(ReadFile(out + "/pid").c_str()) : -1;
  }

  std::string out;
};

struct FieldCodeCase {
  const char* extension;
  bool takesUris;  // GIO may then pass a file:// URI instead of the path
};

void PrintTo(const FieldCodeCase& c, std::ostream* os) { *os << c.extension; }

class ArgumentTest : public LaunchTest, public ::testing::WithParamInterface<FieldCodeCase> {};

TEST_P(ArgumentTest, HostileNameArrivesAsOneArgument) {
  const char* const names[] = {
      "report with  two spaces",
      "it's \"quoted\"",
      "-rf --help",
      "a;b&&c|d $(touch pwned) `touch pwned` ${HOME} > x",
      "tab\there\nnew line",
      "100% %f %u %F %U %% %c %k",
      "bytes \xff\xfe latin \xe9",
      "*?[glob] \\back\\slash",
  };
  for (const char* name : names) {
    SCOPED_TRACE(name);
    const std::string file = MakeFile(name + std::string(GetParam().extension));
    ASSERT_TRUE(LaunchAssociatedApp(file, nullptr, true)) << GetLastError();
    const std::vector<std::string> args = RecordedArgs(out);
    ASSERT_EQ(args.size(), 1u);
    const bool uri = args[0].rfind("file:///", 0) == 0;
    EXPECT_TRUE(GetParam().takesUris || !uri) << args[0];
    EXPECT_EQ(uri ? PathFromUri(args[0]) : args[0], file);
    if (!uri) {
      EXPECT_EQ(ReadFile(out + "/copy"), "content of " + file.substr(file.rfind('/') + 1));
    }
    ::remove((out + "/args").c_str());
    ::remove((out + "/copy").c_str());
  }
  EXPECT_TRUE(ListDir(AppCwd()).empty()) << "a command in a file name was run";
}

INSTANTIATE_TEST_SUITE_P(FieldCodes, ArgumentTest,
                         ::testing::Values(FieldCodeCase{".txt", false},
                                           FieldCodeCase{".png", false},
                                           FieldCodeCase{".gif", true},
                                           FieldCodeCase{".jpg", true}),
                         [](const auto& row) {
                           return std::string(row.param.extension + 1);
                         });

class CurrentDirectory {
 public:
  explicit CurrentDirectory(const std::string& dir) : m_saved(getcwd(nullptr, 0), &free) {
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~CurrentDirectory() { EXPECT_EQ(chdir(m_saved.get()), 0); }

 private:
  std::unique_ptr<char, decltype(&free)> m_saved;
};

TEST_F(LaunchTest, RelativeNameWithLeadingDashArrivesAsAbsolutePath) {
  const std::string file = MakeFile("-n --version.txt");
  const std::string dir = file.substr(0, file.rfind('/'));
  CurrentDirectory inDir(dir);
  std::unique_ptr<char, decltype(&free)> cwd(getcwd(nullptr, 0), &free);
  ASSERT_TRUE(LaunchAssociatedApp("-n --version.txt", nullptr, true)) << GetLastError();
  EXPECT_EQ(RecordedArgs(out), std::vector<std::string>{std::string(cwd.get()) + "/-n --version.txt"});
  EXPECT_EQ(ReadFile(out + "/copy"), "content of -n --version.txt");
}

TEST_F(LaunchTest, WaitingReturnsOnlyAfterTheApplicationHasEnded) {
  for (bool wantHandle : {false, true}) {
    SCOPED_TRACE(wantHandle ? "with handle" : "without handle");
    ::remove((out + "/marker").c_str());
    CProcess process;
    ASSERT_TRUE(LaunchAssociatedApp(MakeFile("slow.bmp"), wantHandle ? &process : nullptr, true))
        << GetLastError();
    EXPECT_EQ(ReadFile(out + "/marker"), "done\n");
    EXPECT_EQ(process.IsValid(), wantHandle);
    if (wantHandle) {
      EXPECT_FALSE(ProcessExists(process.Pid())) << "ended but not collected";
      EXPECT_TRUE(process.Wait());
    }
  }
}

TEST_F(LaunchTest, WithoutWaitingTheHandleIsTheRunningApplication) {
  CProcess process;
  ASSERT_TRUE(LaunchAssociatedApp(MakeFile("gate.tif"), &process, false)) << GetLastError();
  ASSERT_TRUE(process.IsValid());
  EXPECT_EQ(GatePid(), process.Pid());
  EXPECT_FALSE(Exists(out + "/marker"));
  WriteFile(out + "/go", "");
  EXPECT_TRUE(process.Wait()) << GetLastError();
  EXPECT_EQ(ReadFile(out + "/marker"), "done\n");
  EXPECT_FALSE(ProcessExists(process.Pid()));
  EXPECT_TRUE(process.Wait()) << "waiting again";
}

enum class Letting { NoHandleAsked, HandleDestroyed, HandleReleased };

void PrintTo(Letting letting, std::ostream* os) {
  const char* const names[] = {"NoHandleAsked", "HandleDestroyed", "HandleReleased"};
  *os << names[static_cast<int>(letting)];
}

std::string LettingName(const ::testing::TestParamInfo<Letting>& info) {
  return ::testing::PrintToString(info.param);
}

class ReleaseTest : public LaunchTest, public ::testing::WithParamInterface<Letting> {};

TEST_P(ReleaseTest, ApplicationLetGoIsCollectedWhenItEnds) {
  {
    CProcess process;
    const bool asked = GetParam() != Letting::NoHandleAsked;
    ASSERT_TRUE(LaunchAssociatedApp(MakeFile("gate.tif"), asked ? &process : nullptr, false));
    if (GetParam() == Letting::HandleReleased) {
      process.Release();
      EXPECT_FALSE(process.IsValid());
    }
  }
  const pid_t pid = GatePid();
  ASSERT_GT(pid, 0);
  EXPECT_TRUE(ProcessExists(pid)) << "still waiting for go";
  WriteFile(out + "/go", "");
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(pid); })) << "left as a zombie";
  EXPECT_EQ(ReadFile(out + "/marker"), "done\n");
}

INSTANTIATE_TEST_SUITE_P(Ways, ReleaseTest,
                         ::testing::Values(Letting::NoHandleAsked, Letting::HandleDestroyed,
                                           Letting::HandleReleased),
                         LettingName);

struct FailureCase {
  const char* label;
  const char* name;  // created unless it starts with "absent"
  uint32_t error;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

class FailureTest : public LaunchTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, FailsWithItsCodeAndStartsNothing) {
  const std::string name = GetParam().name;
  const std::string file =
      name.rfind("absent", 0) == 0 ? MakeDir("files") + "/" + name : MakeFile(name);
  for (bool wait : {false, true}) {
    CProcess process;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(LaunchAssociatedApp(file, &process, wait));
    EXPECT_EQ(GetLastError(), GetParam().error);
    EXPECT_FALSE(process.IsValid());
  }
  EXPECT_FALSE(Exists(out + "/args"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FailureTest,
    ::testing::Values(FailureCase{"MissingFile", "absent.txt", ERROR_FILE_NOT_FOUND},
                      FailureCase{"NoDefaultApplication", "paper.pdf", ERROR_GEN_FAILURE},
                      FailureCase{"ProgramMissing", "picture.webp", ERROR_GEN_FAILURE},
                      FailureCase{"WorkingFolderMissing", "song.mp3", ERROR_PATH_NOT_FOUND}),
    [](const auto& row) { return std::string(row.param.label); });

// A session bus of the test's own, on a socket in the test root.
class PrivateBus {
 public:
  bool Start() {
    const std::string socket = TestRoot() + "/bus";
    m_daemon = CProcess(SpawnShell("exec timeout 60 dbus-daemon --session --nofork --nopidfile"
                                   " --address=unix:path=" + socket + " 2>/dev/null"));
    if (!m_daemon.IsValid() || !WaitUntil([&] { return Exists(socket); })) return false;
    setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + socket).c_str(), 1);
    // The process must outlive the bus, which goes away first.
    m_connection.reset(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (m_connection) g_dbus_connection_set_exit_on_close(m_connection.get(), FALSE);
    return m_connection != nullptr;
  }

  ~PrivateBus() {
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (m_daemon.IsValid()) kill(m_daemon.Pid(), SIGTERM);
    m_daemon.Wait();
  }

 private:
  struct Unref {
    void operator()(GDBusConnection* c) const { g_object_unref(c); }
  };
  CProcess m_daemon;
  std::unique_ptr<GDBusConnection, Unref> m_connection;
};

TEST_F(LaunchTest, BusActivatableApplicationIsStartedAsOurChild) {
  std::unique_ptr<char, decltype(&g_free)> daemon(g_find_program_in_path("dbus-daemon"), &g_free);
  if (!daemon) GTEST_SKIP() << "dbus-daemon is not installed";
  PrivateBus bus;
  ASSERT_TRUE(bus.Start());
  const std::string file = MakeFile("clip.mp4");
  CProcess process;
  ASSERT_TRUE(LaunchAssociatedApp(file, &process, true)) << GetLastError();
  EXPECT_TRUE(process.IsValid());
  EXPECT_EQ(RecordedArgs(out), std::vector<std::string>{file});
}

TEST(ProcessTest, EmptyHandleCannotBeWaitedFor) {
  CProcess process;
  EXPECT_FALSE(process.IsValid());
  EXPECT_EQ(process.Pid(), -1);
  EXPECT_FALSE(process.Wait());
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  process.Release();
  EXPECT_FALSE(process.IsValid());
}

TEST(ProcessTest, MovingTransfersTheChild) {
  const pid_t pid = SpawnShell("exit 3");
  ASSERT_GT(pid, 0);
  CProcess first(pid);
  CProcess second(std::move(first));
  EXPECT_FALSE(first.IsValid());
  EXPECT_EQ(second.Pid(), pid);
  CProcess third;
  third = std::move(second);
  EXPECT_FALSE(second.IsValid());
  EXPECT_TRUE(third.Wait());
  EXPECT_FALSE(ProcessExists(pid));
}

TEST(ProcessTest, AssigningOverAHandleReleasesItsChild) {
  const pid_t replaced = SpawnShell("exit 0");
  const pid_t kept = SpawnShell("exit 0");
  ASSERT_GT(replaced, 0);
  ASSERT_GT(kept, 0);
  CProcess process(replaced);
  process = CProcess(kept);
  EXPECT_TRUE(WaitUntil([&] { return !ProcessExists(replaced); })) << "left as a zombie";
  EXPECT_TRUE(process.Wait());
}

volatile sig_atomic_t g_alarms = 0;

TEST(ProcessTest, WaitingGoesOnThroughSignals) {
  struct sigaction action = {};
  struct sigaction saved = {};
  action.sa_handler = [](int) { g_alarms = g_alarms + 1; };
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: waitpid sees EINTR
  ASSERT_EQ(sigaction(SIGALRM, &action, &saved), 0);
  const itimerval every50ms = {{0, 50000}, {0, 50000}};
  CProcess process(SpawnShell("sleep 1"));
  ASSERT_EQ(setitimer(ITIMER_REAL, &every50ms, nullptr), 0);
  const bool waited = process.Wait();

  const itimerval off = {};
  setitimer(ITIMER_REAL, &off, nullptr);
  sigaction(SIGALRM, &saved, nullptr);
  EXPECT_TRUE(waited) << GetLastError();
  EXPECT_GT(g_alarms, 5);
  EXPECT_FALSE(ProcessExists(process.Pid()));
}

TEST(ProcessTest, ChildCollectedElsewhereFailsTheWait) {
  const pid_t pid = SpawnShell("exit 0");
  ASSERT_GT(pid, 0);
  ASSERT_EQ(waitpid(pid, nullptr, 0), pid);
  CProcess process(pid);
  EXPECT_FALSE(process.Wait());
  EXPECT_EQ(GetLastError(), ERROR_GEN_FAILURE);
  EXPECT_TRUE(process.IsValid());
}

}  // namespace
