#include "ui/ViewDlg.h"

#include "app/QuiverApp.h"
#include "ui/HelpDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/WaitCursor.h"
#include "ui_ViewDlg.h"

CViewDlg::CViewDlg(CQuiverApp& app, const std::string& pointerFile, QWidget* parent)
    : CMainWindowDlg(parent),
      CViewController(app, pointerFile),
      m_ui(std::make_unique<Ui::ViewDlg>()) {
  m_ui->setupUi(this);
  connect(m_ui->fetchButton, &QPushButton::clicked, this, &CViewDlg::OnFetch);
  connect(m_ui->browseButton, &QPushButton::clicked, this, &CViewDlg::OnBrowse);
  connect(m_ui->preferencesButton, &QPushButton::clicked, this, &CViewDlg::OnPreferences);
  ConnectHelp(m_ui->helpButton, CHelpDlg::kViewContext);
  connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
  WatchLeaving(m_ui->fileEdit, [this] { OnFileKillFocus(); });
  ShowWholeTextAsToolTip({m_ui->fileEdit, m_ui->urlEdit});
  ShowAsField(m_ui->compressionText);
  Refresh();
  SetDialogUnitSize(269, 71, true);
  m_ui->fileEdit->setFocus();
}

CViewDlg::~CViewDlg() = default;

void CViewDlg::DoDataExchange(bool save) {
  Exchange(save, m_ui->fileEdit, File());
  Exchange(save, m_ui->urlEdit, Url());
  Exchange(save, m_ui->compressionText, Compression());
  Exchange(save, m_ui->encryptionEdit, Encryption());
  Exchange(save, m_ui->sizeEdit, Size());
  Exchange(save, m_ui->linkEdit, Link());
}

// A wrapping text that looks like the read-only fields around it. The window
// keeps the height it opens with, so the label has room from the start for
// the longest compression description, which wraps once where the window is
// narrowest.
void CViewDlg::ShowAsField(QLabel* label) {
  label->setBackgroundRole(QPalette::Base);
  label->setAutoFillBackground(true);
  const int lines = 2 * label->fontMetrics().lineSpacing();
  label->setMinimumHeight(lines + 2 * (label->margin() + label->frameWidth()));
}

void CViewDlg::OnFetch() {
  if (Url().empty()) return;
  CWaitCursor wait;
  FetchAndLaunch();
}

void CViewDlg::OnFileKillFocus() {
  if (m_bDropping) return;
  Collect();
  // Linux names differ by case alone: case.qvr and CASE.qvr are two files.
  if (File() == LastFile()) return;
  LastFile() = File();
  if (File().empty()) {
    Url().clear();
    Compression().clear();
    Encryption().clear();
    Size().clear();
    Link().clear();
  } else {
    ReadPointerFile(File());
  }
  Refresh();
}

void CViewDlg::OnBrowse() {
  Collect();
  std::string path = File();
  if (!PromptForFile(true, QStringLiteral("View Quiver File"),
                     {QStringLiteral("Quiver Files (*.qvr)"), QStringLiteral("All Files (*)")},
                     path)) {
    return;
  }
  File() = path;
  Refresh();
  OnFileKillFocus();
}

void CViewDlg::OnPreferences() {
  Collect();
  CPrefsDlg prefs(App(), Settings(), this);
  if (prefs.exec() != QDialog::Accepted) return;
  Settings().Assign(prefs.GetSettings());
  Refresh();
}

// One file dropped on the open window is shown, not fetched; several files,
// or any drop on the minimised window, are fetched and opened in the order
// given, up to the first failure.
void CViewDlg::OnDropFiles(const std::vector<std::string>& paths) {
  m_bDropping = true;
  Collect();
  {
    CWaitCursor wait;
    const bool minimized = isMinimized();
    if (!minimized && paths.size() == 1) {
      activateWindow();
      File() = LastFile() = paths.front();
      ReadPointerFile(paths.front());
    } else if (minimized || !paths.empty()) {
      for (const std::string& path : paths) {
        File() = LastFile() = path;
        if (!ReadPointerFile(path) || !FetchAndLaunch()) break;
      }
    }
    Refresh();
  }
  m_bDropping = false;
}
