#include "ui/UsageDlg.h"

#include "ui_UsageDlg.h"

namespace {

std::string WithoutCarriageReturns(const std::string& text) {
  std::string plain;
  for (char c : text) {
    if (c != '\r') plain += c;
  }
  return plain;
}

}  // namespace

CUsageDlg::CUsageDlg(const std::string& text, QWidget* parent)
    : CQuiverDialog(parent),
      m_ui(std::make_unique<Ui::UsageDlg>()),
      m_strText(WithoutCarriageReturns(text)) {
  m_ui->setupUi(this);
  SetFrame(Frame::Box);
  connect(m_ui->okButton, &QPushButton::clicked, this, &QDialog::accept);
  Refresh();
  SetDialogUnitSize(187, 170);
}

CUsageDlg::~CUsageDlg() = default;

void CUsageDlg::DoDataExchange(bool save) { Exchange(save, m_ui->usageText, m_strText); }
