#pragma once
// Starting the application the desktop associates with a file.
//
// The file's content type is guessed from its name alone; the desktop's
// default application for that type (the user's choice in mimeapps.list, else
// the first installed application that declares the type or a parent type)
// is started directly as a child of this program, so that it can be waited
// for. No display and no session bus are needed: no launch context is used,
// and an application that asks to be activated over the session bus is
// started from its Exec line instead.

#include <string>

class CProcess;

// Starts the default application for the type of `file`, passing the file as
// exactly one argument whatever characters its name holds: its absolute path
// (a relative name is completed from the current directory, "." and ".."
// folded away). Where the application's command line asks for URIs (%u, %U)
// GIO may pass the file's file:// URI instead. The application inherits this
// program's environment and no open descriptors.
//
// With `wait` the call returns only once the application has ended; its exit
// status is not examined. With a non-null `process` the caller receives the
// started process (already waited for when `wait` is set) and decides when
// to wait for it; otherwise the handle is released (platform/Process.h).
//
// Returns false, with the last error set, when
// - `file` does not exist: the translated errno, ERROR_FILE_NOT_FOUND (2) as
//   a rule;
// - no application is associated with its type: ERROR_GEN_FAILURE (31), the
//   number association lookups have always given for "no association". An
//   application whose program is missing or not executable counts as not
//   installed, so this case covers it too;
// - the application cannot be started: the spawn failure translated, e.g.
//   ERROR_PATH_NOT_FOUND (3) for a missing working directory, else
//   ERROR_GEN_FAILURE (31);
// - `wait` is set and waiting fails (the application was started; `process`
//   still receives it).
// - the module that asks GIO (platform/DesktopModule.h) cannot be loaded:
//   ERROR_MOD_NOT_FOUND (126).
// A program that exists but fails inside exec (a script with a missing
// interpreter, say) counts as started: GIO's launch helper runs first and
// the process ends at once with status 255.
bool LaunchAssociatedApp(const std::string& file, CProcess* process, bool wait);
