#include "ui/AboutDlg.h"

#include "app/QuiverApp.h"
#include "ui_AboutDlg.h"

#include <QIcon>

CAboutDlg::CAboutDlg(QWidget* parent)
    : CQuiverDialog(parent),
      m_ui(std::make_unique<Ui::AboutDlg>()),
      m_strVersion(CQuiverApp::VersionLine()) {
  m_ui->setupUi(this);
  SetFrame(Frame::Box);
  const QIcon icon(QStringLiteral(":/icons/quiver.svg"));
  setWindowIcon(icon);
  m_ui->iconLabel->setPixmap(icon.pixmap(32, 32));
  connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
  SetDialogUnitSize(190, 45);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(bool save) { Exchange(save, m_ui->versionLabel, m_strVersion); }

void CAboutDlg::showEvent(QShowEvent* event) {
  CQuiverDialog::showEvent(event);
  CenterWindow();
}
