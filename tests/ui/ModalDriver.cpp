#include "ModalDriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>

namespace {

constexpr int kPollMs = 10;
// How long a handled window may stay open before it counts as stuck.
constexpr int kStuckPolls = 1000;

}  // namespace

CModalDriver::CModalDriver() {
  connect(&m_timer, &QTimer::timeout, this, &CModalDriver::Poll);
  m_timer.start(kPollMs);
}

CModalDriver::~CModalDriver() = default;

void CModalDriver::Then(Action action) { m_actions.push_back(std::move(action)); }

QString CModalDriver::MessageText(QWidget* window) {
  const auto* box = qobject_cast<QMessageBox*>(window);
  return box ? box->text() : QString();
}

QString CModalDriver::Describe(QWidget* window) {
  if (qobject_cast<QMessageBox*>(window)) return QStringLiteral("message: ") + MessageText(window);
  if (qobject_cast<QMenu*>(window)) return QStringLiteral("menu");
  return window->windowTitle();
}

void CModalDriver::Answer(QWidget* window, int standardButton) {
  auto* box = qobject_cast<QMessageBox*>(window);
  if (!box) return;
  if (QAbstractButton* b = box->button(static_cast<QMessageBox::StandardButton>(standardButton))) {
    b->click();
  }
}

bool CModalDriver::Handled(QWidget* window) const {
  for (const QPointer<QWidget>& w : m_handled) {
    if (w == window) return true;
  }
  return false;
}

void CModalDriver::Dismiss(QWidget* window) {
  if (auto* dialog = qobject_cast<QDialog*>(window)) {
    dialog->reject();
  } else {
    window->close();
  }
}

// The action runs from a timer of its own: an action that opens the next
// modal window waits inside it while this poll goes on.
void CModalDriver::Poll() {
  // Popups other than menus (completers, list drop-downs) are the business
  // of the window they belong to.
  QWidget* window = qobject_cast<QMenu*>(QApplication::activePopupWidget());
  if (!window) window = QApplication::activeModalWidget();
  if (!window || !window->isVisible()) return;
  if (Handled(window)) {
    if (window == m_current && ++m_currentPolls > kStuckPolls) {
      m_unexpected << QStringLiteral("stuck: ") + Describe(window);
      Dismiss(window);
    }
    return;
  }
  m_handled.emplace_back(window);
  m_current = window;
  m_currentPolls = 0;
  m_seen << Describe(window);
  if (m_actions.empty()) {
    m_unexpected << Describe(window);
    QTimer::singleShot(0, window, [window] { Dismiss(window); });
    return;
  }
  Action action = std::move(m_actions.front());
  m_actions.pop_front();
  QTimer::singleShot(0, window, [action = std::move(action), window] { action(window); });
}
