#pragma once
// Asks for the name of a directory to create: at most 12 characters. OK
// with a longer name shows "Please enter no more than 12 characters." and
// keeps the dialog open.

#include "ui/QuiverDialog.h"

#include <memory>
#include <string>

namespace Ui {
class NewDirDlg;
}

class CNewDirDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxName = 12;

  explicit CNewDirDlg(QWidget* parent);
  ~CNewDirDlg() override;

  // The name entered; read it after the dialog ended with OK.
  const std::string& Name() const { return m_strName; }

  void accept() override;

 protected:
  void DoDataExchange(bool save) override;

 private:
  std::unique_ptr<Ui::NewDirDlg> m_ui;
  std::string m_strName;
};
