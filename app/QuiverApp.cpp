#include "app/QuiverApp.h"

#include "app/PointerDoc.h"
#include "app/PublishCommands.h"
#include "app/Publisher.h"
#include "app/ReceivePage.h"
#include "app/StopSignals.h"
#include "app/UserInterface.h"
#include "app/ViewController.h"
#include "pipeline/Messages.h"
#include "pipeline/Progress.h"
#include "platform/LongName.h"
#include "platform/SystemError.h"

#include <cstdio>
#include <strings.h>
#include <sys/stat.h>

namespace {

const char* const kSettingsSection = "Settings";

// Makes `box` the current message box for as long as it lives.
class CMessageBoxScope {
 public:
  explicit CMessageBoxScope(CMessageBox& box) : m_previous(&CMessageBox::Current()) {
    CMessageBox::Install(&box);
  }
  ~CMessageBoxScope() { CMessageBox::Install(m_previous); }
  CMessageBoxScope(const CMessageBoxScope&) = delete;
  CMessageBoxScope& operator=(const CMessageBoxScope&) = delete;

 private:
  CMessageBox* m_previous;
};

}  // namespace

std::string CQuiverApp::UsageText() {
  return "quiver\r\n"
         "        The \"Quiver Send\" window.\r\n"
         "quiver -s FILE [POINTER]\r\n"
         "        Send FILE. The pointer file is POINTER, else FILE's name\r\n"
         "        with \".qvr\" beside it. An existing POINTER not ending\r\n"
         "        in .qvr is kept (the windows ask). Prints the pointer\r\n"
         "        file's path and its link.\r\n"
         "quiver FILE.qvr\r\n"
         "        Fetch, decode and open what FILE.qvr points to.\r\n"
         "quiver FILE...\r\n"
         "        Open each .qvr file and send every other file, in order;\r\n"
         "        their pointer files go beside them or into UrlFileDir.\r\n"
         "quiver -v [FILE.qvr]\r\n"
         "        The \"Quiver View\" window (also when Ctrl is held).\r\n"
         "quiver -P\r\n"
         "        The preferences.\r\n"
         "quiver -V\r\n"
         "        The version.\r\n"
         "quiver --link FILE.qvr...\r\n"
         "        The link that opens each pointer file in any web browser.\r\n"
         "quiver --check\r\n"
         "        Try the publishing set-up.\r\n"
         "quiver --published\r\n"
         "        What was sent, newest first.\r\n"
         "quiver --expire [DAYS]\r\n"
         "        Delete what was published more than DAYS days ago\r\n"
         "        (0: everything; no DAYS: KeepDays of the settings).\r\n"
         "quiver --unpublish URL|NAME\r\n"
         "        Delete one published file now.\r\n"
         "quiver --help\r\n"
         "        This text.\r\n"
         "\r\n"
         "The windows (no arguments, -v, -P) need a display (DISPLAY or\r\n"
         "WAYLAND_DISPLAY). Without one, sending, opening and the -- commands\r\n"
         "work from the command line, with messages on standard error.\r\n"
         "Settings: " + SettingsPath() + "\r\n"
         "Exit status: 0 when nothing was reported, 1 after a reported\r\n"
         "failure, 2 for a usage error.\r\n";
}

std::string CQuiverApp::SettingsPath() {
  CProfileStore store(kAppName);
  store.SetRegistryKey(kRegistryKey);
  return store.ProfilePath();
}

std::string CQuiverApp::VersionLine() { return "Quiver Version 1.1(5)"; }

bool CQuiverApp::IsPointerFile(const std::string& path) {
  const size_t dot = path.rfind('.');
  return dot != std::string::npos && strcasecmp(path.c_str() + dot, kPointerExtension) == 0;
}

CQuiverApp::CQuiverApp(CUserInterface& ui) : CProfileStore(kAppName), m_ui(ui) {}

CQuiverApp::~CQuiverApp() = default;

int CQuiverApp::InitInstance(int argc, const char* const* argv) {
  CMessageBoxScope messages(m_ui);
  if (!InitSockets()) {
    m_ui.Warning("Windows sockets initialization failed.");
    return 1;
  }
  SetRegistryKey(kRegistryKey);
  LoadSettings();
  RunCommandLine(argc, argv);
  if (m_usageShown) return 2;
  return m_ui.ReportCount() > 0 || m_cancelled || m_commandFailed ? 1 : 0;
}

void CQuiverApp::SaveSettings(const CSettings& settings) {
  m_settings.Assign(settings);
  WriteSettings();
}

void CQuiverApp::ShowAbout() { m_ui.ShowAbout(); }

void CQuiverApp::ShowUsage() {
  m_usageShown = true;
  m_ui.ShowUsage(UsageText());
}

// Asked for, the usage is no error and goes where a reader of --help looks.
void CQuiverApp::PrintHelp() {
  std::string text = UsageText();
  std::erase(text, '\r');
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

std::string CQuiverApp::DefaultPointerName(const std::string& source, const CSettings& settings) {
  if (source.empty()) return "";
  std::string result = source;
  if (settings.hasUrlFileDir != 0) {
    const size_t slash = source.rfind('/');
    result = settings.urlFileDir + (slash == std::string::npos ? source : source.substr(slash + 1));
  }
  return CCommandLine::WithPointerExtension(result);
}

void CQuiverApp::RunCommandLine(int argc, const char* const* argv) {
  using Action = CCommandLine::Action;
  const CCommandLine line(argc, argv);
  m_mode = line.Mode();
  m_sourcePath = line.Source();
  m_targetPath = line.Target();
  switch (line.GetAction()) {
    case Action::Help:
      PrintHelp();
      break;
    case Action::Links:
      PrintLinks(line.RestCount(), line.Rest());
      break;
    case Action::PublishCommand:
      RunPublishCommand(line.RestCount(), line.Rest());
      break;
    case Action::Preferences:
      DoPreferences();
      break;
    case Action::About:
      ShowAbout();
      break;
    case Action::Usage:
      ShowUsage();
      break;
    case Action::Send:
      SendFile(m_sourcePath, m_targetPath);
      break;
    case Action::View:
      if (CanShowWindow()) m_ui.RunViewWindow(*this, m_targetPath);
      break;
    case Action::Files:
      RunFiles(line);
      break;
  }
}

void CQuiverApp::RunFiles(const CCommandLine& line) {
  const bool control = m_ui.IsControlKeyHeld();
  if (line.RestCount() == 0) {
    if (control) DoViewWindow();
    else DoSendWindow();
  } else if (control) {
    m_mode = ModeView;
    if (CanShowWindow()) m_ui.RunViewWindow(*this, m_targetPath);
  } else {
    ProcessFiles(line.RestCount(), line.Rest());
  }
}

bool CQuiverApp::CanShowWindow() {
  if (m_ui.HasDisplay()) return true;
  ShowUsage();
  return false;
}

void CQuiverApp::DoPreferences() {
  if (!CanShowWindow()) return;
  CSettings copy;
  copy.Assign(m_settings);
  if (m_ui.RunPreferences(*this, copy)) SaveSettings(copy);
}

void CQuiverApp::DoSendWindow() {
  if (!CanShowWindow() || !CanSend()) return;
  m_ui.RunSendWindow(*this);
}

void CQuiverApp::DoViewWindow() {
  if (CanShowWindow()) m_ui.RunViewWindow(*this, "");
}

void CQuiverApp::LoadSettings() { m_settings.Load(*this, kSettingsSection); }

void CQuiverApp::WriteSettings() {
  m_settings.Save(*this, kSettingsSection);
  CommitProfile();
}

bool CQuiverApp::CanSend() {
  if (m_settings.IsComplete()) return true;
  // Without a display there is no dialog to offer: go straight to the warning.
  if (m_ui.HasDisplay()) DoPreferences();
  if (m_settings.IsComplete()) return true;
  ShowWarning("%s parameters must be set\nbefore the program can send.\n"
              "Set UrlRoot and FileRoot in %s\n"
              "or with quiver -P (needs a display), then try them with quiver --check.",
              kAppName, ProfilePath().c_str());
  return false;
}

void CQuiverApp::ProcessFiles(int argc, const char* const* argv) {
  CViewController viewer(*this, "");
  for (int i = 0; i < argc; ++i) {
    const std::string path = ExpandLongPath(argv[i]);
    if (m_cancelled) break;
    if (IsPointerFile(path)) {
      if (viewer.ReadPointerFile(path)) viewer.FetchAndLaunch();
    } else {
      SendFile(path, DefaultPointerName(path, m_settings));
    }
  }
}

void CQuiverApp::SendFile(const std::string& source, const std::string& target) {
  if (!MayReplace(source, target) || !CanSend()) return;
  CPointerDoc doc;
  doc.BuildChain(m_settings);
  if (Publish(doc, target, source, m_settings)) {
    PrintSent(target);
  } else if (doc.GetError() != ERROR_CANCELLED) {
    ReportSystemError("Problem sending " + source, doc.GetError(), doc.GetErrorDetail());
  }
}

void CQuiverApp::PrintSent(const std::string& pointerFile) {
  std::string link;
  if (!CReceivePage::LinkOf(pointerFile, link)) return;
  std::printf("%s\n%s\n", pointerFile.c_str(), link.c_str());
  std::fflush(stdout);
}

void CQuiverApp::PrintLinks(int argc, const char* const* argv) {
  if (argc == 0) {
    ShowUsage();
    return;
  }
  for (int i = 0; i < argc; ++i) {
    const std::string path = ExpandLongPath(argv[i]);
    std::string link;
    if (CReceivePage::LinkOf(path, link)) {
      std::printf("%s\n", link.c_str());
    } else {
      ReportSystemError("No link for " + path, GetLastError());
    }
  }
  std::fflush(stdout);
}

// A pointer file replaces an older one without asking; any other file named
// as the target is more likely a slip (quiver -s a.txt b.txt) than a wish.
bool CQuiverApp::MayReplace(const std::string& source, const std::string& target) {
  struct stat st;
  if (IsPointerFile(target) || lstat(target.c_str(), &st) != 0) return true;
  const std::string what = target + " exists and is not a pointer file (" + kPointerExtension + ")";
  if (!m_ui.HasDisplay()) {
    m_ui.Warning("Not sending " + source + ": " + what + ", and Quiver does not overwrite it.");
    return false;
  }
  return m_ui.AskYesNo(what + ".\nReplace it with the pointer file of " + source + "?", false);
}

bool CQuiverApp::Publish(CPointerDoc& doc, const std::string& pointerFile,
                         const std::string& source, const CSettings& settings) {
  if (!m_publisher) m_publisher = std::make_unique<CPublisher>();
  CProgress progress(source);
  return m_publisher->Publish(doc, pointerFile, source, settings,
                              [&](const std::function<bool()>& send) {
                                return RunTransfer(progress, send);
                              });
}

void CQuiverApp::RunPublishCommand(int argc, const char* const* argv) {
  if (!m_publisher) m_publisher = std::make_unique<CPublisher>();
  CPublishCommands commands(m_ui, m_settings, m_publisher->Register());
  const int status = commands.Run(argc, argv);
  if (status == 2) ShowUsage();
  m_commandFailed = status == 1;
}

bool CQuiverApp::RunTransfer(CProgress& progress, const std::function<bool()>& work) {
  bool ok;
  {
    StopSignalScope stopSignals(progress);
    ok = m_ui.RunTransfer(progress, [&] {
      CProgress::Scope current(&progress);
      return work();
    });
  }
  if (progress.IsCancelled()) {
    m_cancelled = true;
    ExitAfterStopSignal();
  }
  return ok;
}
