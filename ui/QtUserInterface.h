#pragma once
// The user interface of a run with a display: the Qt windows, and message
// boxes titled "Quiver" (a warning icon for warnings, the question mark for
// questions; the default button of a question is the answer that keeps the
// user's data).
// Needs a QApplication.

#include "app/UserInterface.h"

#include <QMessageBox>
#include <QString>

class CQtUserInterface : public CUserInterface {
 public:
  // A modal message box titled "Quiver" over `parent` (or over the active
  // modal window when `parent` is null) with an arrow cursor while it is
  // open; returns the button pressed. `defaultButton` NoButton leaves the
  // choice of the default button to Qt.
  static QMessageBox::StandardButton ShowMessageBox(
      QWidget* parent, QMessageBox::Icon icon, const QString& text,
      QMessageBox::StandardButtons buttons = QMessageBox::Ok,
      QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

  // Registers the resources and makes the program icon the default icon
  // of every window.
  CQtUserInterface();

  bool HasDisplay() const override { return true; }
  bool IsControlKeyHeld() const override;
  void ShowAbout() override;
  void ShowUsage(const std::string& text) override;
  bool RunPreferences(CQuiverApp& app, CSettings& settings) override;
  void RunSendWindow(CQuiverApp& app) override;
  void RunViewWindow(CQuiverApp& app, const std::string& pointerFile) override;
  // The work runs off this thread under a progress window (ui/ProgressDlg.h)
  // owned by the active window.
  bool RunTransfer(CProgress& progress, const std::function<bool()>& work) override;
  void ShowReport(const std::string& title, const std::string& text) override;

 protected:
  void ShowWarning(const std::string& text) override;
  bool ShowYesNo(const std::string& text, bool keepsData) override;
};
