#pragma once
// The help window: one of the program's help pages (res/help/), shown in a
// window of its own beside the dialog that asked for it. Links between the
// pages are followed inside the window.

#include "ui/QuiverDialog.h"

#include <memory>

namespace Ui {
class HelpDlg;
}

class CHelpDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  // The help contexts of the send window, the view window and the
  // preferences dialog.
  static constexpr int kSendContext = 3;
  static constexpr int kViewContext = 4;
  static constexpr int kPrefsContext = 5;

  // The resource path of the page for `context`; empty when there is none.
  static QString PageFor(int context);
  // Shows the page for `context` in the help window of `owner`, opening
  // that window (modeless) when it is not open yet. False, after the warning
  // "Failed to launch help.", when there is no page for `context`.
  static bool ShowTopic(int context, QWidget* owner);

  explicit CHelpDlg(QWidget* parent);
  ~CHelpDlg() override;

  // Shows the page at `resourcePath`.
  void ShowPage(const QString& resourcePath);
  QString CurrentPage() const;

 private:
  std::unique_ptr<Ui::HelpDlg> m_ui;
};
