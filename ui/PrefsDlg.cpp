#include "ui/PrefsDlg.h"

#include "app/PublishCheck.h"
#include "app/QuiverApp.h"
#include "platform/MessageBox.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"
#include "ui/ChooseDirDlg.h"
#include "ui/HelpDlg.h"
#include "ui/ReportDlg.h"
#include "ui/WaitCursor.h"
#include "ui_PrefsDlg.h"

CPrefsDlg::CPrefsDlg(CQuiverApp& app, const CSettings& settings, QWidget* parent)
    : CQuiverDialog(parent), m_ui(std::make_unique<Ui::PrefsDlg>()), m_pApp(&app) {
  m_settings.Assign(settings);
  m_checked.Assign(settings);
  m_ui->setupUi(this);
  // A caption without system menu, so without a close box.
  SetFrame(Frame::CaptionOnly);
  connect(m_ui->saveButton, &QPushButton::clicked, this, &CPrefsDlg::OnSave);
  connect(m_ui->okButton, &QPushButton::clicked, this, &CPrefsDlg::OnOk);
  connect(m_ui->checkButton, &QPushButton::clicked, this, &CPrefsDlg::OnCheck);
  connect(m_ui->urlRootEdit, &QLineEdit::textChanged, this, &CPrefsDlg::UpdateCheckOffer);
  connect(m_ui->fileRootEdit, &QLineEdit::textChanged, this, &CPrefsDlg::UpdateCheckOffer);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  ConnectHelp(m_ui->helpButton, CHelpDlg::kPrefsContext);
  connect(m_ui->fileRootBrowse, &QPushButton::clicked, this,
          [this] { OnBrowse(m_settings.fileRoot); });
  connect(m_ui->urlFileDirBrowse, &QPushButton::clicked, this,
          [this] { OnBrowse(m_settings.urlFileDir); });
  ShowWholeTextAsToolTip({m_ui->urlRootEdit, m_ui->fileRootEdit, m_ui->urlFileDirEdit});
  Refresh();
  UpdateCheckOffer();
  SetDialogUnitSize(360, 100, true);
  m_ui->urlRootEdit->setFocus();
}

CPrefsDlg::~CPrefsDlg() = default;

void CPrefsDlg::DoDataExchange(bool save) {
  Exchange(save, m_ui->urlRootEdit, m_settings.urlRoot);
  Exchange(save, m_ui->fileRootEdit, m_settings.fileRoot);
  Exchange(save, m_ui->hasUrlFileDirCheck, m_settings.hasUrlFileDir);
  Exchange(save, m_ui->urlFileDirEdit, m_settings.urlFileDir);
  Exchange(save, m_ui->compressionList, m_settings.compressType);
  Exchange(save, m_ui->encryptionList, m_settings.encryptType);
  Exchange(save, m_ui->deleteTempFilesCheck, m_settings.deleteTempFiles);
  if (save) m_settings.keepDays = m_ui->keepDaysSpin->value();
  else m_ui->keepDaysSpin->setValue(m_settings.keepDays);
}

bool CPrefsDlg::FileRootIsWellFormed() {
  const std::string root = m_ui->fileRootEdit->text().toStdString();
  std::string error;
  // A module that cannot be loaded is no fault of the root: a send says so.
  if (!CPublishRoot::IsServer(root) || CPublishRoot::Open(root, error) ||
      GetLastError() != ERROR_BAD_PATHNAME) {
    return true;
  }
  CMessageBox::Current().Warning(error);
  m_ui->fileRootEdit->setFocus();
  return false;
}

void CPrefsDlg::OnOk() {
  if (FileRootIsWellFormed()) accept();
}

void CPrefsDlg::OnSave() {
  if (!FileRootIsWellFormed()) return;
  Collect();
  m_pApp->SaveSettings(m_settings);
  QDialog::accept();
}

void CPrefsDlg::OnCheck() {
  Collect();
  m_checked.Assign(m_settings);
  UpdateCheckOffer();
  CPublishCheck check(m_checked);
  {
    CWaitCursor wait;
    check.Run();
  }
  CReportDlg report(CPublishCheck::kTitle, check.Report(), this);
  report.exec();
}

void CPrefsDlg::UpdateCheckOffer() {
  CSettings typed;
  typed.urlRoot = m_ui->urlRootEdit->text().toStdString();
  typed.fileRoot = m_ui->fileRootEdit->text().toStdString();
  typed.Normalize();
  // The directory chooser knows local folders only.
  m_ui->fileRootBrowse->setEnabled(!CPublishRoot::IsServer(typed.fileRoot));
  const bool changed =
      typed.urlRoot != m_checked.urlRoot || typed.fileRoot != m_checked.fileRoot;
  m_ui->checkOfferLabel->setText(
      changed ? QStringLiteral("The roots changed: press Check to try them before sending.")
              : QString());
}

void CPrefsDlg::OnBrowse(std::string& directory) {
  Collect();
  CChooseDirDlg chooser(directory, nullptr);
  if (chooser.exec() != QDialog::Accepted) return;
  directory = chooser.Path();
  Refresh();
}
