#pragma once
// The common base of the send and view windows, each the only visible
// window of its run: the program icon, a fixed frame with a minimise box,
// centring, coming to the front when first shown, the About entry of the
// window's context menu, and files dropped from the file manager.

#include "ui/QuiverDialog.h"

#include <functional>
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
  // Calls `onLeave` whenever the keyboard focus leaves `field` for another
  // control of this window; not while the window is ending, nor when the
  // whole window loses the focus or a popup opens.
  void WatchLeaving(QWidget* field, std::function<void()> onLeave);

  void showEvent(QShowEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  bool m_shown = false;
  QWidget* m_watched = nullptr;
  std::function<void()> m_onLeave;
  bool m_ending = false;
};
