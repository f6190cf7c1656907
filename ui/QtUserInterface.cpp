#include "ui/QtUserInterface.h"

#include "ui/AboutDlg.h"
#include "ui/PrefsDlg.h"
#include "ui/ProgressDlg.h"
#include "ui/ReportDlg.h"
#include "ui/SendDlg.h"
#include "ui/UsageDlg.h"
#include "ui/ViewDlg.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QThread>

namespace {

// Widgets live on the window's thread. A send asks its questions from the
// thread that does the work, which waits here for the answer.
template <typename Show>
auto OnWindowThread(Show show) {
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) return show();
  decltype(show()) answer{};
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [&] { answer = show(); }, Qt::BlockingQueuedConnection);
  return answer;
}

// Message boxes belong to the window the user is working in. A minimised
// window stays so: window managers hide the boxes of a minimised owner.
QWidget* DefaultOwner() {
  QWidget* owner = QApplication::activeModalWidget();
  if (!owner) owner = QApplication::activeWindow();
  return owner && !owner->isMinimized() ? owner : nullptr;
}

}  // namespace

QMessageBox::StandardButton CQtUserInterface::ShowMessageBox(QWidget* parent,
                                                             QMessageBox::Icon icon,
                                                             const QString& text,
                                                             QMessageBox::StandardButtons buttons,
                                                             QMessageBox::StandardButton defaultButton) {
  const QPointer<QWidget> owner = parent && !parent->isMinimized() ? parent : DefaultOwner();
  QMessageBox box(icon, QStringLiteral("Quiver"),
                  QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")), buttons,
                  owner);
  box.setTextFormat(Qt::PlainText);
  if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
  // A send or fetch may be under way with the busy cursor: the box itself
  // waits for the user.
  QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
  const int answer = box.exec();
  QGuiApplication::restoreOverrideCursor();
  // The keyboard goes back to the window the box stood over.
  if (owner && owner->isVisible()) owner->activateWindow();
  return static_cast<QMessageBox::StandardButton>(answer);
}

CQtUserInterface::CQtUserInterface() {
  CQuiverDialog::InitResources();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/quiver.svg")));
}

bool CQtUserInterface::IsControlKeyHeld() const {
  return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

void CQtUserInterface::ShowAbout() {
  CAboutDlg about(nullptr);
  about.exec();
}

void CQtUserInterface::ShowUsage(const std::string& text) {
  CUsageDlg usage(text, nullptr);
  usage.exec();
}

bool CQtUserInterface::RunPreferences(CQuiverApp& app, CSettings& settings) {
  CPrefsDlg prefs(app, settings, nullptr);
  if (prefs.exec() != QDialog::Accepted) return false;
  settings.Assign(prefs.GetSettings());
  return true;
}

void CQtUserInterface::RunSendWindow(CQuiverApp& app) {
  CSendDlg send(app, nullptr);
  send.exec();
}

void CQtUserInterface::RunViewWindow(CQuiverApp& app, const std::string& pointerFile) {
  CViewDlg view(app, pointerFile, nullptr);
  view.exec();
}

bool CQtUserInterface::RunTransfer(CProgress& progress, const std::function<bool()>& work) {
  QWidget* owner = QApplication::activeModalWidget();
  CProgressDlg dialog(progress, owner ? owner : QApplication::activeWindow());
  return dialog.Run(work);
}

void CQtUserInterface::ShowReport(const std::string& title, const std::string& text) {
  CReportDlg report(title, text, nullptr);
  report.exec();
}

void CQtUserInterface::ShowWarning(const std::string& text) {
  OnWindowThread(
      [&] { return ShowMessageBox(nullptr, QMessageBox::Warning, QString::fromStdString(text)); });
}

bool CQtUserInterface::ShowYesNo(const std::string& text, bool keepsData) {
  return OnWindowThread([&] {
    return ShowMessageBox(nullptr, QMessageBox::Question, QString::fromStdString(text),
                          QMessageBox::Yes | QMessageBox::No,
                          keepsData ? QMessageBox::Yes : QMessageBox::No) == QMessageBox::Yes;
  });
}
