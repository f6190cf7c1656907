#pragma once
// Plays the user in front of the modal windows and popup menus that the code
// under test opens and waits on. Each new one gets the next scripted action;
// one that comes without a script is recorded and dismissed, so that no test
// hangs on an unexpected box. A scripted window that stays open too long is
// closed and recorded as stuck.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <vector>

class CModalDriver : public QObject {
 public:
  using Action = std::function<void(QWidget*)>;

  CModalDriver();
  ~CModalDriver() override;

  // The action for the next modal window or popup menu that appears.
  void Then(Action action);
  // Scripted actions not yet used.
  size_t Pending() const { return m_actions.size(); }
  // Every window handled, in order: "message: <text>" for message boxes,
  // "menu" for popup menus, the title for other windows.
  const QStringList& Seen() const { return m_seen; }
  // The entries of Seen() that had no script, and windows closed as stuck.
  const QStringList& Unexpected() const { return m_unexpected; }

  // Conveniences for actions.
  static QString Describe(QWidget* window);
  // The text of a message box; empty for anything else.
  static QString MessageText(QWidget* window);
  // Clicks the button of a message box with `button` role.
  static void Answer(QWidget* window, int standardButton);

 private:
  void Poll();
  bool Handled(QWidget* window) const;
  static void Dismiss(QWidget* window);

  QTimer m_timer;
  std::deque<Action> m_actions;
  std::vector<QPointer<QWidget>> m_handled;
  QPointer<QWidget> m_current;
  int m_currentPolls = 0;
  QStringList m_seen;
  QStringList m_unexpected;
};
