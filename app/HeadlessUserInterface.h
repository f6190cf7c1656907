#pragma once
// The user interface of a run without a display: messages are lines on
// standard error, questions are answered on the terminal or take the answer
// that keeps the user's data, the version goes to standard output, and
// nothing that needs a window is shown. A send or fetch draws one line of
// progress on standard error when that is a terminal (at most ten updates a
// second, cleared at the end, and held while a message or question is
// shown); otherwise it shows nothing.

#include <atomic>

#include "app/UserInterface.h"

class CTerminalLine;

class CHeadlessUserInterface : public CUserInterface {
 public:
  bool HasDisplay() const override { return false; }
  bool IsControlKeyHeld() const override { return false; }
  void ShowAbout() override;
  void ShowUsage(const std::string& text) override;
  bool RunPreferences(CQuiverApp& app, CSettings& settings) override;
  void RunSendWindow(CQuiverApp& app) override;
  void RunViewWindow(CQuiverApp& app, const std::string& pointerFile) override;
  bool RunTransfer(CProgress& progress, const std::function<bool()>& work) override;

 protected:
  void ShowWarning(const std::string& text) override;
  bool ShowYesNo(const std::string& text, bool keepsData) override;

 private:
  CConsoleMessageBox m_console;
  std::atomic<CTerminalLine*> m_line{nullptr};  // while a transfer draws one
};
