#pragma once
// The preferences dialog: edits its own copy of a settings record. Save
// hands the copy to the application (which writes the store) and ends with
// OK; OK ends with OK and leaves the decision to the opener; Cancel and
// Escape change nothing. The two directories can be picked with the
// directory chooser; a server directory (a remote FileRoot: dav://,
// davs://, sftp://) is typed, and Save and OK refuse one that is malformed,
// saying why. Nothing else is validated, but Check tries the roots as they
// stand (CPublishCheck) and shows its report; while the URL root or the
// server directory differs from the one last checked (or opened with), a
// line beside it offers the check.

#include "app/Settings.h"
#include "ui/QuiverDialog.h"

#include <memory>

class CQuiverApp;

namespace Ui {
class PrefsDlg;
}

class CPrefsDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  // Edits a copy (Assign) of `settings`; `app` receives Save.
  CPrefsDlg(CQuiverApp& app, const CSettings& settings, QWidget* parent);
  ~CPrefsDlg() override;

  // The edited copy, as collected when the dialog ended.
  virtual CSettings& GetSettings() { return m_settings; }

 protected:
  void DoDataExchange(bool save) override;

 private:
  void OnSave();
  void OnOk();
  // False, after saying why, when the FileRoot field holds a malformed
  // remote root.
  bool FileRootIsWellFormed();
  // Runs the publishing check on the roots as they stand and shows its report.
  void OnCheck();
  // Shows the offer of the check while a root field differs from m_checked.
  void UpdateCheckOffer();
  // The directory chooser started in `directory` (a settings field);
  // OK puts the chosen directory into the field.
  void OnBrowse(std::string& directory);

  std::unique_ptr<Ui::PrefsDlg> m_ui;
  CQuiverApp* m_pApp;
  CSettings m_settings;
  CSettings m_checked;
};
