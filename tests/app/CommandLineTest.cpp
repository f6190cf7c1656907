#include "app/QuiverApp.h"
#include "support/TestFiles.h"
#include "RecordingUserInterface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using namespace testing_support;

namespace {

// Records the sends and file lists a command line asks for instead of
// carrying them out.
class CRecordingApp : public CQuiverApp {
 public:
  explicit CRecordingApp(CRecordingUserInterface& ui) : CQuiverApp(ui), m_ui(ui) {}

  void SendFile(const std::string& source, const std::string& target) override {
    m_ui.events.push_back("send " + source + " -> " + target);
  }
  void ProcessFiles(int argc, const char* const* argv) override {
    std::string line = "files";
    for (int i = 0; i < argc; ++i) line += std::string(" ") + argv[i];
    m_ui.events.push_back(line);
  }

 private:
  CRecordingUserInterface& m_ui;
};

struct RunResult {
  std::vector<std::string> events;
  int status;
  RunMode mode;
  std::string source, target;
};

void SaveCompleteSettings() {
  CRecordingUserInterface ui;
  CQuiverApp app(ui);
  app.SetRegistryKey(CQuiverApp::kRegistryKey);
  CSettings s;
  s.urlRoot = "http://127.0.0.1/q/";
  s.fileRoot = "/srv/q/";
  app.SaveSettings(s);
}

RunResult RunQuiver(std::vector<std::string> args, bool control = false, bool display = true) {
  CRecordingUserInterface ui;
  ui.control = control;
  ui.display = display;
  CRecordingApp app(ui);
  args.insert(args.begin(), "quiver");
  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  const int status = app.InitInstance(static_cast<int>(args.size()), argv.data());
  return {ui.events, status, app.Mode(), app.SourcePath(), app.TargetPath()};
}

using Events = std::vector<std::string>;

struct Case {
  std::vector<std::string> args;
  bool control;
  Events events;
  int status;
};

TEST(CommandLine, RunModesAndSwitchRules) {
  SaveCompleteSettings();
  const Case cases[] = {
      {{}, false, {"send-window"}, 0},
      {{}, true, {"view-window "}, 0},
      {{"-s", "a.doc"}, false, {"send a.doc -> a.qvr"}, 0},
      {{"-s", "a.doc"}, true, {"send a.doc -> a.qvr"}, 0},
      {{"-s", "a.doc", "x.qvr"}, false, {"send a.doc -> x.qvr"}, 0},
      {{"-s", "README"}, false, {"send README -> README.qvr"}, 0},
      {{"-s", "my.dir/README"}, false, {"send my.dir/README -> my.dir/README.qvr"}, 0},
      {{"-s", "a.b.c"}, false, {"send a.b.c -> a.b.qvr"}, 0},
      {{"-s"}, false, {"usage"}, 2},
      {{"-v"}, false, {"view-window "}, 0},
      {{"-v", "x.qvr"}, false, {"view-window x.qvr"}, 0},
      {{"-v", "-s"}, false, {"view-window -s"}, 0},
      {{"x.qvr", "y.doc"}, true, {"view-window x.qvr"}, 0},
      {{"a.doc", "B.QVR", "c.txt"}, false, {"files a.doc B.QVR c.txt"}, 0},
      {{"a.doc", "-s"}, false, {"files a.doc -s"}, 0},
      {{"-Ps"}, false, {"preferences"}, 0},
      {{"-sP", "a.doc"}, false, {"preferences"}, 0},
      {{"-V", "-x"}, false, {"about"}, 0},
      {{"-x"}, false, {"usage"}, 2},
      {{"-p"}, false, {"usage"}, 2},
      {{"--nope"}, false, {"usage"}, 2},
      {{"--expire", "7d"}, false, {"usage"}, 2},
      {{"--check", "extra"}, false, {"usage"}, 2},
      {{"-S", "a"}, false, {"usage"}, 2},
      {{"-sv", "a", "b", "c"}, false, {"view-window c"}, 0},
      {{"-"}, false, {"send-window"}, 0},
      {{"-", "a.doc"}, false, {"files a.doc"}, 0},
      {{"--"}, false, {"usage"}, 2},
      {{"-vs", "x.qvr", "a"}, false, {"send a -> a.qvr"}, 0},
  };
  for (const Case& c : cases) {
    std::string label;
    for (const std::string& a : c.args) label += "[" + a + "]";
    const RunResult r = RunQuiver(c.args, c.control);
    EXPECT_EQ(r.events, c.events) << label;
    EXPECT_EQ(r.status, c.status) << label;
  }
}

TEST(CommandLine, ParsedPathsAndModes) {
  SaveCompleteSettings();
  RunResult r = RunQuiver({"-sv", "a", "b", "c"});
  EXPECT_EQ(r.mode, ModeView);
  EXPECT_EQ(r.source, "a");
  EXPECT_EQ(r.target, "c");
  r = RunQuiver({"first.doc", "second.qvr"});
  EXPECT_EQ(r.mode, ModeDefault);
  EXPECT_EQ(r.target, "first.doc");
  r = RunQuiver({"first.doc"}, true);
  EXPECT_EQ(r.mode, ModeView);
}

TEST(CommandLine, FileArgumentsAreExpandedLikeLongNames) {
  SaveCompleteSettings();
  const std::string dir = MakeDir("args");
  WriteFile(dir + "/zeta.doc", "");
  WriteFile(dir + "/alpha.doc", "");
  RunResult r = RunQuiver({"-s", dir + "/*.doc"});
  EXPECT_EQ(r.events, Events({"send " + dir + "/alpha.doc -> " + dir + "/alpha.qvr"}));
  r = RunQuiver({"-v", dir + "/z*"});
  EXPECT_EQ(r.events, Events({"view-window " + dir + "/zeta.doc"}));
  r = RunQuiver({dir + "/missing*.doc"}, true);
  EXPECT_EQ(r.events, Events({"view-window " + dir + "/missing*.doc"}));
}

TEST(CommandLine, WithoutDisplayWindowsBecomeTheUsageText) {
  SaveCompleteSettings();
  const Case cases[] = {
      {{}, false, {"usage"}, 2},
      {{"-v", "x.qvr"}, false, {"usage"}, 2},
      {{"x.qvr"}, false, {"files x.qvr"}, 0},
      {{"-P"}, false, {"usage"}, 2},
      {{"-V"}, false, {"about"}, 0},
      {{"-s", "a.doc"}, false, {"send a.doc -> a.qvr"}, 0},
      {{"a.doc", "b.qvr"}, false, {"files a.doc b.qvr"}, 0},
  };
  for (const Case& c : cases) {
    const RunResult r = RunQuiver(c.args, c.control, false);
    EXPECT_EQ(r.events, c.events) << (c.args.empty() ? "" : c.args[0]);
    EXPECT_EQ(r.status, c.status);
  }
}

TEST(CommandLine, HostileArgumentsNeverCrash) {
  SaveCompleteSettings();
  std::vector<std::string> many(5000, "x.doc");
  EXPECT_EQ(RunQuiver(many).events.front().size(), std::string("files").size() + 5000 * 6);
  const std::vector<std::string> odd = {"-\xff\x01", "\xff\xfe", "", "-s", "\n", "-v"};
  for (size_t i = 0; i < odd.size(); ++i) {
    std::vector<std::string> args(odd.begin() + static_cast<long>(i), odd.end());
    const RunResult r = RunQuiver(args);
    EXPECT_FALSE(r.events.empty());
  }
  EXPECT_EQ(RunQuiver({"", "-s"}).events, Events({"files  -s"}));
}

std::string MissingSettingsWarning(const CQuiverApp& app) {
  return "warning: Quiver parameters must be set\nbefore the program can send.\nSet UrlRoot and "
         "FileRoot in " + app.ProfilePath() +
         "\nor with quiver -P (needs a display), then try them with quiver --check.";
}

// CanSend offers the preferences once and warns when they stay incomplete.
TEST(CommandLine, IncompleteSettingsOfferPreferencesThenWarn) {
  CRecordingUserInterface ui;
  CQuiverApp app(ui);
  const char* argv[] = {"quiver", nullptr};
  EXPECT_EQ(app.InitInstance(1, argv), 1);
  EXPECT_EQ(ui.events, Events({"preferences", MissingSettingsWarning(app)}));

  CRecordingUserInterface accepting;
  accepting.preferences = [](CQuiverApp&, CSettings& s) {
    s.urlRoot = "http://h/";
    s.fileRoot = "/srv";
    return true;
  };
  CQuiverApp second(accepting);
  EXPECT_EQ(second.InitInstance(1, argv), 0);
  EXPECT_EQ(accepting.events, Events({"preferences", "send-window"}));
  EXPECT_EQ(second.GetSettings().fileRoot, "/srv/");
  EXPECT_TRUE(Exists(second.ProfilePath()));

  CRecordingUserInterface headless;
  headless.display = false;
  CQuiverApp third(headless);
  const char* send[] = {"quiver", "-s", "a.doc", nullptr};
  std::string store = ReadFile(second.ProfilePath());
  WriteFile(second.ProfilePath(), "");
  EXPECT_EQ(third.InitInstance(3, send), 1);
  EXPECT_EQ(headless.events, Events({MissingSettingsWarning(third)}));
  WriteFile(second.ProfilePath(), store);
}

TEST(CommandLine, DefaultPointerName) {
  CRecordingUserInterface ui;
  CQuiverApp app(ui);
  CSettings beside;
  CSettings elsewhere;
  elsewhere.hasUrlFileDir = 1;
  elsewhere.urlFileDir = "/pointers/";
  CSettings bare;
  bare.hasUrlFileDir = 1;
  const std::tuple<std::string, const CSettings*, std::string> cases[] = {
      {"/docs/report.doc", &beside, "/docs/report.qvr"},
      {"/docs/report.doc", &elsewhere, "/pointers/report.qvr"},
      {"/docs/README", &beside, "/docs/README.qvr"},
      {"/docs.d/README", &beside, "/docs.d/README.qvr"},
      {"/home/u/.config/notes", &elsewhere, "/pointers/notes.qvr"},
      {"/docs/report.doc", &bare, "report.qvr"},
      {"report", &bare, "report.qvr"},
      {"", &elsewhere, ""},
  };
  for (const auto& [source, settings, expected] : cases) {
    EXPECT_EQ(app.DefaultPointerName(source, *settings), expected) << source;
  }
}

// Every command the README lists, where the settings are and what needs a
// display; each line ends in CR LF.
TEST(CommandLine, UsageTextNamesEveryCommand) {
  const std::string text = CQuiverApp::UsageText();
  for (const std::string& line : std::vector<std::string>
       {"quiver", "quiver -s FILE [POINTER]", "quiver FILE.qvr", "quiver -v [FILE.qvr]",
        "quiver -P", "quiver -V", "quiver --check", "quiver --published", "quiver --expire [DAYS]",
        "quiver --unpublish URL|NAME", "quiver --help",
        "The windows (no arguments, -v, -P) need a display (DISPLAY or",
        "Settings: " + std::string(getenv("XDG_CONFIG_HOME")) + "/Marrow/Quiver/V1.1/Quiver.ini"}) {
    EXPECT_NE(("\r\n" + text).find("\r\n" + line + "\r\n"), std::string::npos) << line;
  }
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(text.begin(), text.end(), '\r'));
  EXPECT_EQ(CQuiverApp::VersionLine(), "Quiver Version 1.1(5)");
}

}  // namespace

namespace {

class CNoSocketsApp : public CRecordingApp {
 public:
  using CRecordingApp::CRecordingApp;

 protected:
  bool InitSockets() override { return false; }
};

TEST(CommandLine, FailedSocketStartUpEndsBeforeTheCommandLine) {
  CRecordingUserInterface ui;
  CNoSocketsApp app(ui);
  const char* argv[] = {"quiver", "-V", nullptr};
  EXPECT_EQ(app.InitInstance(2, argv), 1);
  EXPECT_EQ(ui.events, Events({"warning: Windows sockets initialization failed."}));
  EXPECT_EQ(app.Mode(), ModeDefault);
}

}  // namespace
