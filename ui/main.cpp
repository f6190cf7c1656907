// The quiver program. Without a display (none named, or an X display that
// cannot be reached) it builds no widget at all; with
// one, Qt gets only the program path, so that Quiver's own switches reach
// the application object untouched (QT_QPA_PLATFORM and the other Qt
// variables still work).

#include "app/HeadlessUserInterface.h"
#include "app/QuiverApp.h"
#include "app/StopSignals.h"
#include "ui/QtUserInterface.h"

#include <QApplication>

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Qt aborts when the X display it is told about cannot be reached; such a
// run is better served headless than not at all.
bool CanReachX11Display() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  const bool reached = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return reached;
}

bool HasDisplay() {
  return IsSet("WAYLAND_DISPLAY") || (IsSet("DISPLAY") && CanReachX11Display());
}

}  // namespace

int main(int argc, char** argv) {
  InstallStopSignals();
  if (!HasDisplay()) {
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
