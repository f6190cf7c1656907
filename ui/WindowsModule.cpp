#include "ui/WindowsModule.h"

#include "app/QuiverApp.h"
#include "ui/QtUserInterface.h"

#include <QApplication>

int QuiverRunWithWindows(int argc, char** argv) {
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
