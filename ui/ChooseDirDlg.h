#pragma once
// A directory chooser that walks one tree from "/". It lists the
// subdirectories of the directory it stands in as "[name]" entries, sorted,
// after "[..]" for the parent; a double-click or Return enters an entry. The
// path label shows the directory it stands in, on one line elided in the
// middle (the whole text is its tooltip), and that directory, not the
// selected entry, is the result of OK (without a trailing "/" except for "/"
// itself).
//
// It keeps its own position and never changes the process's current
// directory.

#include "ui/QuiverDialog.h"

#include <QString>

#include <memory>
#include <string>

class QListWidgetItem;

namespace Ui {
class ChooseDirDlg;
}

class CChooseDirDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  // Starts in `initialDir`, or in the process's current directory when it
  // is empty. When `initialDir` cannot be entered (it does not exist, say),
  // the chooser starts in its nearest parent that can, and the path label
  // says so until the chooser moves.
  CChooseDirDlg(const std::string& initialDir, QWidget* parent);
  ~CChooseDirDlg() override;

  // The directory the chooser stands in; the result after OK.
  const std::string& Path() const { return m_strPath; }
  // The directory whose subdirectories are listed.
  const QString& ListedDirectory() const { return m_listed; }

 protected:
  void DoDataExchange(bool save) override;
  // Return on a directories entry enters it instead of pressing OK.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FillDirectories();
  void OnEnter(QListWidgetItem* item);
  void OnNewDirectory();

  std::unique_ptr<Ui::ChooseDirDlg> m_ui;
  std::string m_strPath;
  QString m_listed;
  QString m_note;  // after the path in the label: why the chooser is not where asked
};
