#pragma once
// The About box: the program icon and the version line "Quiver Version
// 1.1(5)", centred over its owner. It changes nothing.

#include "ui/QuiverDialog.h"

#include <memory>
#include <string>

namespace Ui {
class AboutDlg;
}

class CAboutDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent);
  ~CAboutDlg() override;

  const std::string& Version() const { return m_strVersion; }

 protected:
  void DoDataExchange(bool save) override;
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::AboutDlg> m_ui;
  std::string m_strVersion;
};
