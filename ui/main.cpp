// The quiver program. Without a display it builds no widget at all; with
// one, Qt gets only the program path, so that Quiver's own switches reach
// the application object untouched (QT_QPA_PLATFORM and the other Qt
// variables still work).

#include "app/HeadlessUserInterface.h"
#include "app/QuiverApp.h"
#include "ui/QtUserInterface.h"

#include <QApplication>

#include <cstdlib>

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

}  // namespace

int main(int argc, char** argv) {
  if (!IsSet("DISPLAY") && !IsSet("WAYLAND_DISPLAY")) {
    CHeadlessUserInterface ui;
    CQuiverApp app(ui);
    return app.InitInstance(argc, argv);
  }
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication qt(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Quiver"));
  QApplication::setDesktopFileName(QStringLiteral("quiver"));
  // Every run shows one modal window after another; none of them closing
  // ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  CQtUserInterface ui;
  CQuiverApp app(ui);
  return app.InitInstance(argc, argv);
}
