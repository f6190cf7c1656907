#include "ui/ReportDlg.h"

#include "ui_ReportDlg.h"

CReportDlg::CReportDlg(const std::string& title, const std::string& text, QWidget* parent)
    : CQuiverDialog(parent), m_ui(std::make_unique<Ui::ReportDlg>()) {
  m_ui->setupUi(this);
  SetFrame(Frame::Box);
  setWindowTitle(QString::fromStdString(title));
  m_ui->reportText->setPlainText(QString::fromStdString(text));
  connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
  SetDialogUnitSize(360, 140);
}

CReportDlg::~CReportDlg() = default;

std::string CReportDlg::Text() const { return m_ui->reportText->toPlainText().toStdString(); }
