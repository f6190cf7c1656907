#pragma once
// A report of several lines (the publishing check's, say) in a box of its
// own: the lines in a read-only text area that can be selected and copied,
// and an OK button.

#include <memory>
#include <string>

#include "ui/QuiverDialog.h"

namespace Ui {
class ReportDlg;
}

class CReportDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  CReportDlg(const std::string& title, const std::string& text, QWidget* parent);
  ~CReportDlg() override;

  std::string Text() const;

 private:
  std::unique_ptr<Ui::ReportDlg> m_ui;
};
