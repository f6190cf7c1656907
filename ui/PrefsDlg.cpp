#include "ui/PrefsDlg.h"

#include "app/QuiverApp.h"
#include "ui/ChooseDirDlg.h"
#include "ui/HelpDlg.h"
#include "ui_PrefsDlg.h"

CPrefsDlg::CPrefsDlg(CQuiverApp& app, const CSettings& settings, QWidget* parent)
    : CQuiverDialog(parent), m_ui(std::make_unique<Ui::PrefsDlg>()), m_pApp(&app) {
  m_settings.Assign(settings);
  m_ui->setupUi(this);
  // A caption without system menu, so without a close box.
  SetFrame(Frame::CaptionOnly);
  connect(m_ui->saveButton, &QPushButton::clicked, this, &CPrefsDlg::OnSave);
  connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  ConnectHelp(m_ui->helpButton, CHelpDlg::kPrefsContext);
  connect(m_ui->fileRootBrowse, &QPushButton::clicked, this,
          [this] { OnBrowse(m_settings.FileRoot()); });
  connect(m_ui->urlFileDirBrowse, &QPushButton::clicked, this,
          [this] { OnBrowse(m_settings.UrlFileDir()); });
  ShowWholeTextAsToolTip({m_ui->urlRootEdit, m_ui->fileRootEdit, m_ui->urlFileDirEdit});
  Refresh();
  SetDialogUnitSize(285, 100, true);
  m_ui->urlRootEdit->setFocus();
}

CPrefsDlg::~CPrefsDlg() = default;

void CPrefsDlg::DoDataExchange(bool save) {
  Exchange(save, m_ui->urlRootEdit, m_settings.UrlRoot());
  Exchange(save, m_ui->fileRootEdit, m_settings.FileRoot());
  Exchange(save, m_ui->hasUrlFileDirCheck, m_settings.HasUrlFileDir());
  Exchange(save, m_ui->urlFileDirEdit, m_settings.UrlFileDir());
  Exchange(save, m_ui->compressionList, m_settings.CompressType());
  Exchange(save, m_ui->encryptionList, m_settings.EncryptType());
  Exchange(save, m_ui->deleteTempFilesCheck, m_settings.DeleteTempFiles());
}

void CPrefsDlg::OnSave() {
  Collect();
  m_pApp->SaveSettings(m_settings);
  QDialog::accept();
}

void CPrefsDlg::OnBrowse(std::string& directory) {
  Collect();
  CChooseDirDlg chooser(directory, nullptr);
  if (chooser.exec() != QDialog::Accepted) return;
  directory = chooser.Path();
  Refresh();
}
