#pragma once
// The common base of the send and view windows, each the only visible
// window of its run: the program icon, a fixed frame with a minimise box,
// centring, coming to the front when first shown, the About entry of the
// window's context menu, and files dropped from the file manager.

#include "ui/QuiverDialog.h"

#include <string>
#include <vector>

class QMenu;

class CMainWindowDlg : public CQuiverDialog {
  Q_OBJECT

 public:
  // The command of the context menu's About entry.
  static constexpr int kAboutCommand = 16;
  static constexpr const char* kAboutText = "&About Quiver...";

  explicit CMainWindowDlg(QWidget* parent);

  // Runs a window command of the context menu: the About box for
  // kAboutCommand, nothing for any other.
  void OnSysCommand(int command);

 protected:
  // The local files of one drop, in the order the drop lists them (possibly
  // none). The window handles them as it sees fit.
  virtual void OnDropFiles(const std::vector<std::string>& paths) = 0;

  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  bool m_shown = false;
};
