#include "ui/MainWindowDlg.h"

#include "ui/AboutDlg.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

namespace {

std::vector<std::string> LocalFiles(const QMimeData* data) {
  std::vector<std::string> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  return paths;
}

}  // namespace

CMainWindowDlg::CMainWindowDlg(QWidget* parent) : CQuiverDialog(parent) {
  SetFrame(Frame::MainWindow);
  setWindowIcon(QIcon(QStringLiteral(":/icons/quiver.svg")));
  setAcceptDrops(true);
}

void CMainWindowDlg::OnSysCommand(int command) {
  if ((command & ~0xF) != kAboutCommand) return;
  CAboutDlg about(this);
  about.exec();
}

// The first showing centres the window and brings it in front of the
// program that started Quiver.
void CMainWindowDlg::showEvent(QShowEvent* event) {
  CQuiverDialog::showEvent(event);
  if (m_shown) return;
  m_shown = true;
  CenterWindow();
  raise();
  activateWindow();
}

void CMainWindowDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.setObjectName(QStringLiteral("windowMenu"));
  QAction* about = menu.addAction(QString::fromLatin1(kAboutText));
  about->setObjectName(QStringLiteral("aboutAction"));
  about->setData(kAboutCommand);
  QAction* chosen = menu.exec(event->globalPos());
  if (chosen) OnSysCommand(chosen->data().toInt());
}

void CMainWindowDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void CMainWindowDlg::dragMoveEvent(QDragMoveEvent* event) {
  if (!LocalFiles(event->mimeData()).empty()) event->acceptProposedAction();
}

void CMainWindowDlg::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalFiles(event->mimeData());
  event->acceptProposedAction();
  OnDropFiles(paths);
}

void CMainWindowDlg::WatchLeaving(QWidget* field, std::function<void()> onLeave) {
  m_watched = field;
  m_onLeave = std::move(onLeave);
  field->installEventFilter(this);
}

bool CMainWindowDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_watched && !m_ending && IsLeaving(event)) m_onLeave();
  return CQuiverDialog::eventFilter(watched, event);
}

// Closing moves the focus out of the watched field; that is no leaving.
void CMainWindowDlg::done(int result) {
  m_ending = true;
  CQuiverDialog::done(result);
  m_ending = false;
}
