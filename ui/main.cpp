// The quiver program, headless unless there is a display. Without one (none
// named, or an X display that cannot be reached) it runs on the console and
// maps no Qt library; with one, the windows come from their module
// (ui/WindowsModule.h), and should it fail to load, the run goes on without
// windows after saying why.

#include "app/HeadlessUserInterface.h"
#include "app/QuiverApp.h"
#include "app/StopSignals.h"
#include "platform/MessageBox.h"
#include "platform/ProgramModule.h"
#include "platform/SharedLibrary.h"
#include "ui/WindowsModule.h"

#include <cstdlib>
#include <xcb/xcb.h>

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Qt aborts when the X display it is told about cannot be reached; such a
// run is better served headless than not at all. libxcb is loaded for the
// question only, so that runs without DISPLAY do not map it.
bool CanReachX11Display() {
  CSharedLibrary xcb("libxcb.so.1");
  auto* connect = xcb.Find<decltype(xcb_connect)>("xcb_connect");
  auto* hasError = xcb.Find<decltype(xcb_connection_has_error)>("xcb_connection_has_error");
  auto* disconnect = xcb.Find<decltype(xcb_disconnect)>("xcb_disconnect");
  if (!connect || !hasError || !disconnect) return false;
  xcb_connection_t* connection = connect(nullptr, nullptr);
  const bool reached = hasError(connection) == 0;
  disconnect(connection);
  return reached;
}

bool HasDisplay() {
  return IsSet("WAYLAND_DISPLAY") || (IsSet("DISPLAY") && CanReachX11Display());
}

}  // namespace

int main(int argc, char** argv) {
  InstallStopSignals();
  if (HasDisplay()) {
    CProgramModule windows(CProgramModule::PathOf(kWindowsModule));
    if (auto* run = windows.Entry<decltype(QuiverRunWithWindows)>(kRunWithWindowsEntry)) {
      return run(argc, argv);
    }
    CMessageBox::Current().Notice(windows.Error() + " Quiver runs without windows.");
  }
  CHeadlessUserInterface ui;
  CQuiverApp app(ui);
  return app.InitInstance(argc, argv);
}
