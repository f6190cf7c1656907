#pragma once
// The view window ("Quiver View"): the receiving controller with its
// window. It shows the URL, compression, encryption and size of a pointer file,
// reloads when the File field is left with a different name, and fetches
// and opens the file pointed to on Fetch. Files dropped on the open window
// are shown (one file) or fetched and opened one after the other (several
// files, or any drop on the minimised window).

#include "app/ViewController.h"
#include "ui/MainWindowDlg.h"

#include <memory>
#include <string>

class QLabel;

namespace Ui {
class ViewDlg;
}

class CViewDlg : public CMainWindowDlg, public CViewController {
  Q_OBJECT

 public:
  // Loads a non-empty `pointerFile` silently: an unreadable one shows
  // nothing until the File field is left.
  CViewDlg(CQuiverApp& app, const std::string& pointerFile, QWidget* parent);
  ~CViewDlg() override;

 protected:
  void DoDataExchange(bool save) override;
  void OnDropFiles(const std::vector<std::string>& paths) override;

 private:
  static void ShowAsField(QLabel* label);
  void OnFetch();
  void OnFileKillFocus();
  void OnBrowse();
  void OnPreferences();

  std::unique_ptr<Ui::ViewDlg> m_ui;
  // Set while a drop is handled: leaving the File field then reloads nothing.
  bool m_bDropping = false;
};
