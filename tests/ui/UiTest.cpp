#include "UiTest.h"

#include "app/ViewController.h"
#include "platform/MessageBox.h"
#include "support/TestFiles.h"

#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QUrl>

#include <unistd.h>

void CUiTest::SetUp() {
  // Files handed to applications here are read at once.
  CViewController::SetHandOffGrace(std::chrono::milliseconds(500));
  CMessageBox::Install(&m_ui);
  m_app.SetRegistryKey(CQuiverApp::kRegistryKey);
  // The test process shares one private home: every test starts without a
  // settings file.
  ::unlink(m_app.ProfilePath().c_str());
}

void CUiTest::TearDown() {
  CMessageBox::Install(nullptr);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->isVisible()) w->close();
  }
}

void CUiTest::Activate(QWidget* window) {
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

QStringList CUiTest::TabSequence(QWidget* window, int count) {
  QStringList names;
  for (int i = 0; i < count; ++i) {
    names << FocusName();
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : window,
                    Qt::Key_Tab);
  }
  return names;
}

bool CUiTest::HasFocus(QWidget* widget) {
  return QTest::qWaitFor([widget] { return QApplication::focusWidget() == widget; }, 3000);
}

void CUiTest::DoubleClickItem(QListWidget* list, const QString& text) {
  const QList<QListWidgetItem*> found = list->findItems(text, Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1) << text.toStdString();
  const QPoint at = list->visualItemRect(found.front()).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

void CUiTest::PickFile(QWidget* fileDialog, const std::string& path) {
  auto* name = fileDialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  ASSERT_NE(name, nullptr) << "not a file dialog: " << fileDialog->windowTitle().toStdString();
  name->setFocus();
  name->clear();
  QTest::keyClicks(name, QString::fromStdString(path));
  QTest::keyClick(name, Qt::Key_Return);
}

QString CUiTest::FocusName() {
  QWidget* focus = QApplication::focusWidget();
  return focus ? focus->objectName() : QString();
}

void CUiTest::ClickInto(QWidget* widget) {
  QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, QPoint(4, widget->height() / 2));
}

void CUiTest::CompleteSettings(const std::string& fileRoot) {
  m_app.GetSettings().urlRoot = "http://127.0.0.1/";
  m_app.GetSettings().fileRoot = fileRoot;
  m_app.GetSettings().Normalize();
}

std::string CUiTest::StoredSettings() const {
  const std::string path = m_app.ProfilePath();
  return testing_support::Exists(path) ? testing_support::ReadFile(path) : std::string();
}

void CUiTest::Drop(QWidget& target, const std::vector<std::string>& paths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const std::string& p : paths) urls << QUrl::fromLocalFile(QString::fromStdString(p));
  data.setUrls(urls);
  QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &enter);
  QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&target, &drop);
}
