#include "ui/NewDirDlg.h"

#include "ui/QtUserInterface.h"
#include "ui_NewDirDlg.h"

CNewDirDlg::CNewDirDlg(QWidget* parent)
    : CQuiverDialog(parent), m_ui(std::make_unique<Ui::NewDirDlg>()) {
  m_ui->setupUi(this);
  m_ui->nameEdit->setMaxLength(kMaxName);
  SetFrame(Frame::Box);
  connect(m_ui->okButton, &QPushButton::clicked, this, &CNewDirDlg::accept);
  connect(m_ui->cancelButton, &QPushButton::clicked, this, &QDialog::reject);
  Refresh();
  SetDialogUnitSize(169, 43);
  m_ui->nameEdit->setFocus();
}

CNewDirDlg::~CNewDirDlg() = default;

void CNewDirDlg::DoDataExchange(bool save) { Exchange(save, m_ui->nameEdit, m_strName); }

// The field takes no more than fits, but the name is checked again when OK
// is pressed, whatever put it there: the message names the limit and the
// text stays for editing.
void CNewDirDlg::accept() {
  Collect();
  if (QString::fromStdString(m_strName).size() > kMaxName) {
    CQtUserInterface::ShowMessageBox(
        this, QMessageBox::Warning,
        QStringLiteral("Please enter no more than %1 characters.").arg(kMaxName));
    m_ui->nameEdit->setFocus();
    m_ui->nameEdit->selectAll();
    return;
  }
  QDialog::accept();
}
