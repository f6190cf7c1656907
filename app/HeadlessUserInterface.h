#pragma once
// The user interface of a run without a display: messages are lines on
// standard error, questions take the answer that keeps the user's data, the
// version goes to standard output, and nothing that needs a window is shown.

#include "app/UserInterface.h"

class CHeadlessUserInterface : public CUserInterface {
 public:
  bool HasDisplay() const override { return false; }
  bool IsControlKeyHeld() const override { return false; }
  void ShowAbout() override;
  void ShowUsage(const std::string& text) override;
  bool RunPreferences(CQuiverApp& app, CSettings& settings) override;
  void RunSendWindow(CQuiverApp& app) override;
  void RunViewWindow(CQuiverApp& app, const std::string& pointerFile) override;

 protected:
  void ShowWarning(const std::string& text) override;
  bool ShowYesNo(const std::string& text, bool keepsData) override;

 private:
  CConsoleMessageBox m_console;
};
