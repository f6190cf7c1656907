#include "ui/SendDlg.h"

#include "app/PointerDoc.h"
#include "app/QuiverApp.h"
#include "pipeline/Messages.h"
#include "platform/SystemError.h"
#include "ui/HelpDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/WaitCursor.h"
#include "ui_SendDlg.h"

CSendDlg::CSendDlg(CQuiverApp& app, QWidget* parent)
    : CMainWindowDlg(parent), m_ui(std::make_unique<Ui::SendDlg>()), m_pApp(&app) {
  m_settings.Assign(app.GetSettings());
  m_ui->setupUi(this);
  connect(m_ui->sendButton, &QPushButton::clicked, this, &CSendDlg::OnSend);
  connect(m_ui->sendFileBrowse, &QPushButton::clicked, this, &CSendDlg::OnBrowseSendFile);
  connect(m_ui->pointerFileBrowse, &QPushButton::clicked, this, &CSendDlg::OnBrowsePointerFile);
  connect(m_ui->preferencesButton, &QPushButton::clicked, this, &CSendDlg::OnPreferences);
  ConnectHelp(m_ui->helpButton, CHelpDlg::kSendContext);
  connect(m_ui->closeButton, &QPushButton::clicked, this, &QDialog::accept);
  // Leaving the Send File field proposes the pointer file for it.
  WatchLeaving(m_ui->sendFileEdit, [this] { OnSendFileKillFocus(); });
  ShowWholeTextAsToolTip({m_ui->sendFileEdit, m_ui->pointerFileEdit});
  Refresh();
  SetDialogUnitSize(254, 74, true);
  m_ui->sendFileEdit->setFocus();
}

CSendDlg::~CSendDlg() = default;

std::string CSendDlg::DefaultPointerName(const std::string& source) {
  return m_pApp->DefaultPointerName(source, m_settings);
}

void CSendDlg::DoDataExchange(bool save) {
  Exchange(save, m_ui->sendFileEdit, m_strSendFile);
  Exchange(save, m_ui->pointerFileEdit, m_strPointerFile);
  Exchange(save, m_ui->compressionList, m_settings.CompressType());
  Exchange(save, m_ui->encryptionList, m_settings.EncryptType());
}

std::unique_ptr<CPointerDoc> CSendDlg::NewPointerDoc() { return std::make_unique<CPointerDoc>(); }

bool CSendDlg::SendWith(CPointerDoc& doc) {
  CWaitCursor wait;
  if (m_pApp->Publish(doc, m_strPointerFile, m_strSendFile, m_settings)) return true;
  if (doc.GetError() != ERROR_CANCELLED) {
    ReportSystemError("Problem sending " + m_strSendFile, doc.GetError(), doc.GetErrorDetail());
  }
  return false;
}

void CSendDlg::OnSend() {
  Collect();
  if (m_strPointerFile.empty() || m_strSendFile.empty()) return;
  std::unique_ptr<CPointerDoc> doc = NewPointerDoc();
  doc->BuildChain(m_settings);
  SendWith(*doc);
}

void CSendDlg::OnSendFileKillFocus() {
  Collect();
  if (m_strSendFile.empty()) return;
  m_strPointerFile = DefaultPointerName(m_strSendFile);
  Refresh();
}

void CSendDlg::OnBrowseSendFile() {
  Collect();
  std::string path = m_strSendFile;
  if (PromptForFile(true, QStringLiteral("Pick File to Send"), {QStringLiteral("All Files (*)")},
                    path)) {
    m_strSendFile = path;
    Refresh();
  }
  OnSendFileKillFocus();
}

void CSendDlg::OnBrowsePointerFile() {
  Collect();
  std::string path = m_strPointerFile;
  if (PromptForFile(false, QStringLiteral("Create Quiver File"),
                    {QStringLiteral("Quiver Files (*.qvr)"), QStringLiteral("All Files (*)")},
                    path)) {
    m_strPointerFile = path;
    Refresh();
  }
}

void CSendDlg::OnPreferences() {
  Collect();
  CPrefsDlg prefs(*m_pApp, m_settings, this);
  if (prefs.exec() != QDialog::Accepted) return;
  m_settings.Assign(prefs.GetSettings());
  Refresh();
}

// One file dropped on the open window only fills the fields; several files,
// or any drop on the minimised window, are sent in the order given, up to
// the first failure.
void CSendDlg::OnDropFiles(const std::vector<std::string>& paths) {
  Collect();
  CWaitCursor wait;
  const bool minimized = isMinimized();
  if (!minimized && paths.size() == 1) {
    activateWindow();
    m_strSendFile = paths.front();
    m_strPointerFile = DefaultPointerName(m_strSendFile);
    Refresh();
    return;
  }
  if (!minimized && paths.empty()) return;
  for (const std::string& path : paths) {
    std::unique_ptr<CPointerDoc> doc = NewPointerDoc();
    doc->BuildChain(m_settings);
    m_strSendFile = path;
    m_strPointerFile = DefaultPointerName(path);
    if (!SendWith(*doc)) break;
  }
  Refresh();
}
