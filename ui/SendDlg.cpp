#include "ui/SendDlg.h"

#include "app/PointerDoc.h"
#include "app/PointerMail.h"
#include "app/QuiverApp.h"
#include "app/ReceivePage.h"
#include "pipeline/Messages.h"
#include "platform/SystemError.h"
#include "ui/HelpDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/WaitCursor.h"
#include "ui_SendDlg.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

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
  connect(m_ui->emailButton, &QPushButton::clicked, this, &CSendDlg::OnEmail);
  connect(m_ui->copyLinkButton, &QPushButton::clicked, this, &CSendDlg::OnCopyLink);
  connect(m_ui->showFolderButton, &QPushButton::clicked, this, &CSendDlg::OnShowInFolder);
  m_ui->sentPanel->hide();
  // Leaving the Send File field proposes the pointer file for it.
  WatchLeaving(m_ui->sendFileEdit, [this] { OnSendFileKillFocus(); });
  ShowWholeTextAsToolTip({m_ui->sendFileEdit, m_ui->pointerFileEdit, m_ui->sentPointerEdit});
  Refresh();
  SetDialogUnitSize(kWidth, kHeight, true);
  m_ui->sendFileEdit->setFocus();
}

CSendDlg::~CSendDlg() = default;

std::string CSendDlg::DefaultPointerName(const std::string& source) {
  return m_pApp->DefaultPointerName(source, m_settings);
}

void CSendDlg::DoDataExchange(bool save) {
  Exchange(save, m_ui->sendFileEdit, m_strSendFile);
  Exchange(save, m_ui->pointerFileEdit, m_strPointerFile);
  Exchange(save, m_ui->compressionList, m_settings.compressType);
  Exchange(save, m_ui->encryptionList, m_settings.encryptType);
}

std::unique_ptr<CPointerDoc> CSendDlg::NewPointerDoc() { return std::make_unique<CPointerDoc>(); }

bool CSendDlg::SendWith(CPointerDoc& doc) {
  CWaitCursor wait;
  if (m_pApp->Publish(doc, m_strPointerFile, m_strSendFile, m_settings)) {
    ShowSent();
    return true;
  }
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

void CSendDlg::ShowSent() {
  m_sentFile = m_strSendFile;
  m_sentPointerFile = m_strPointerFile;
  if (!CReceivePage::LinkOf(m_sentPointerFile, m_sentLink)) m_sentLink.clear();
  m_ui->sentPointerEdit->setText(QString::fromStdString(m_sentPointerFile));
  m_ui->linkEdit->setText(QString::fromStdString(m_sentLink));
  m_ui->linkEdit->setCursorPosition(0);
  m_ui->emailButton->setEnabled(!m_sentLink.empty());
  m_ui->copyLinkButton->setEnabled(!m_sentLink.empty());
  if (m_ui->sentPanel->isHidden()) {
    m_ui->sentPanel->show();
    SetDialogUnitSize(kWidth, kHeight, true);
  }
}

void CSendDlg::OnEmail() {
  if (!MailPointerFile(m_sentPointerFile, m_sentFile, m_sentLink)) {
    ReportSystemError("Problem starting the mail program (xdg-email)", GetLastError());
  }
}

void CSendDlg::OnCopyLink() {
  QGuiApplication::clipboard()->setText(QString::fromStdString(m_sentLink));
}

// The file manager selects the file where it offers that (the desktop's
// FileManager1 service); elsewhere the folder opens as it would from a link.
void CSendDlg::OnShowInFolder() {
  const QUrl file = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(m_sentPointerFile)).absoluteFilePath());
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{file.toString()} << QString();
  const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, kShowItemsWait);
  if (reply.type() == QDBusMessage::ReplyMessage) return;
  if (!QDesktopServices::openUrl(file.adjusted(QUrl::RemoveFilename))) {
    ShowWarning("Cannot show the folder of %s.", m_sentPointerFile.c_str());
  }
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
