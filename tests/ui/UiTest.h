#pragma once
// Shared ground of the window tests: an application object over the real Qt
// user interface (installed as the message box), lookup of controls by
// object name, and focus and key helpers.

#include "ModalDriver.h"
#include "app/QuiverApp.h"
#include "ui/QtUserInterface.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QWidget>

#include <string>
#include <vector>

class CUiTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The child `name` of `parent`, of type T; a failure when there is none.
  template <class T>
  static T* Child(QWidget* parent, const char* name) {
    T* child = parent->findChild<T*>(QString::fromLatin1(name));
    if (!child) ADD_FAILURE() << "no " << name << " in " << parent->objectName().toStdString();
    return child;
  }
  // Shows `window` and waits until it is the active window.
  static void Activate(QWidget* window);
  // The object names of the widgets that take the focus as Tab is pressed
  // `count` times, starting with the one that has it now.
  static QStringList TabSequence(QWidget* window, int count);
  // Whether `widget` has (or within a few seconds gets) the keyboard focus:
  // window activation arrives asynchronously.
  static bool HasFocus(QWidget* widget);
  // Clicks the entry `text` of `list` and double-clicks it.
  static void DoubleClickItem(QListWidget* list, const QString& text);
  // Types `path` into the name field of a file dialog and confirms it.
  static void PickFile(QWidget* fileDialog, const std::string& path);
  // The object name of the widget with the keyboard focus.
  static QString FocusName();
  // Drops `paths` on `target` as a file manager does: drag enter, then drop.
  static void Drop(QWidget& target, const std::vector<std::string>& paths);
  // Moves the focus to `widget` as a mouse click does.
  static void ClickInto(QWidget* widget);
  // Sets the application's settings to a complete record under `fileRoot`.
  void CompleteSettings(const std::string& fileRoot);
  // The settings file's text (empty when it does not exist).
  std::string StoredSettings() const;

  CQtUserInterface m_ui;
  CQuiverApp m_app{m_ui};
};
