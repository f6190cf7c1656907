#pragma once
// The application object: carries out what the command line asks
// (app/CommandLine.h), one run mode (a window, a send, or fetching and
// launching pointer files), and ends. It owns the current settings and,
// being the profile over the settings file (app/ProfileStore.h), is the only
// writer of that file.

#include "app/CommandLine.h"
#include "app/ProfileStore.h"
#include "app/Settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class CPointerDoc;
class CProgress;
class CPublisher;
class CUserInterface;

class CQuiverApp : public CProfileStore {
 public:
  static constexpr const char* kAppName = "Quiver";
  static constexpr const char* kRegistryKey = "Marrow/Quiver/V1.1";
  static constexpr const char* kPointerExtension = ".qvr";

  // The usage text, every line ended by CR LF.
  static std::string UsageText();
  // The settings file of the registry key kRegistryKey.
  static std::string SettingsPath();
  // "Quiver Version 1.1(5)".
  static std::string VersionLine();
  // Whether `path` ends in ".qvr", without regard to case.
  static bool IsPointerFile(const std::string& path);

  explicit CQuiverApp(CUserInterface& ui);
  CQuiverApp(const CQuiverApp&) = delete;
  CQuiverApp& operator=(const CQuiverApp&) = delete;
  ~CQuiverApp() override;

  // Start-up and one run mode. Returns the exit status: 0 when nothing was
  // reported, 1 after a reported failure or a cancelled send or fetch, 2
  // after a usage error.
  int InitInstance(int argc, const char* const* argv);

  virtual CSettings& GetSettings() { return m_settings; }
  // The current settings become a copy of `settings`, then WriteSettings().
  virtual void SaveSettings(const CSettings& settings);
  virtual void ShowAbout();
  virtual void ShowUsage();
  // The usage text on standard output, for --help: no error.
  void PrintHelp();
  // The pointer-file path proposed for a source file: beside it, or in
  // UrlFileDir when HasUrlFileDir is set, with its extension made ".qvr".
  virtual std::string DefaultPointerName(const std::string& source, const CSettings& settings);
  virtual void RunCommandLine(int argc, const char* const* argv);
  virtual void DoPreferences();
  virtual void DoSendWindow();
  virtual void DoViewWindow();
  virtual void LoadSettings();
  virtual void WriteSettings();
  // Fetches and launches every pointer-file argument, sends every other one.
  virtual void ProcessFiles(int argc, const char* const* argv);
  // Refuses, or with a display asks first, when `target` names an existing
  // file that is not a pointer file. A send that worked prints the pointer
  // file's path and its link on standard output.
  virtual void SendFile(const std::string& source, const std::string& target);
  // --link: the link of each pointer file on standard output.
  void PrintLinks(int argc, const char* const* argv);
  // Every send goes through here: CPointerDoc::Send with the settings' roots,
  // after expiring what KeepDays makes due and followed, on success, by an
  // entry in the register of published files. The send itself runs through
  // RunTransfer (a cancelled one fails with ERROR_CANCELLED). Returns what
  // Send returned.
  virtual bool Publish(CPointerDoc& doc, const std::string& pointerFile, const std::string& source,
                       const CSettings& settings);
  // --check, --published, --expire [DAYS] and --unpublish URL|NAME
  // (app/PublishCommands.h); a wrong command line shows the usage.
  virtual void RunPublishCommand(int argc, const char* const* argv);
  // Runs a send or fetch through the user interface with `progress`
  // installed for it; SIGINT, SIGTERM and SIGHUP cancel it and then end the
  // program (app/StopSignals.h). A cancelled run makes the exit status 1.
  bool RunTransfer(CProgress& progress, const std::function<bool()>& work);
  // True when the settings are complete, offering the preferences once;
  // else a warning that says where and how to set them.
  virtual bool CanSend();

  const std::string& SourcePath() const { return m_sourcePath; }
  const std::string& TargetPath() const { return m_targetPath; }
  RunMode Mode() const { return m_mode; }
  CUserInterface& Ui() { return m_ui; }

 protected:
  // Starting the socket layer; nothing needs starting on Linux.
  virtual bool InitSockets() { return true; }

 private:
  // Files named without a switch: with Ctrl held, the view window on the
  // first; else ProcessFiles. None: the send window, or with Ctrl the view
  // window.
  void RunFiles(const CCommandLine& line);
  // False, after the usage text, when no window can be shown.
  bool CanShowWindow();
  // Whether the send of `source` may replace what stands at `target`.
  bool MayReplace(const std::string& source, const std::string& target);
  void PrintSent(const std::string& pointerFile);

  CUserInterface& m_ui;
  CSettings m_settings;
  std::string m_sourcePath;
  std::string m_targetPath;
  RunMode m_mode = ModeDefault;
  bool m_usageShown = false;
  bool m_cancelled = false;
  bool m_commandFailed = false;
  std::unique_ptr<CPublisher> m_publisher;
};
