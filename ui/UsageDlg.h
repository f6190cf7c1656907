#pragma once
// The usage box: a text (the command-line usage) in a framed area.

#include "ui/QuiverDialog.h"

#include <memory>
#include <string>

namespace Ui {
class UsageDlg;
}

class CUsageDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  // `text` may end its lines with CR LF or LF alone.
  CUsageDlg(const std::string& text, QWidget* parent);
  ~CUsageDlg() override;

  const std::string& Text() const { return m_strText; }

 protected:
  void DoDataExchange(bool save) override;

 private:
  std::unique_ptr<Ui::UsageDlg> m_ui;
  std::string m_strText;
};
