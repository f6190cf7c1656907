#pragma once
// The one door into the module that holds what needs GIO: the desktop's
// default application for a file and the content type it guesses for one
// (platform/ProgramModule.h). Only a run that opens a received file loads
// it, so that a send, a check or `quiver -V` maps none of GIO's libraries.
// The module uses nothing of the program's: what it finds comes back as
// plain values, which LaunchAssociatedApp and IsProgramOrScript turn into
// the program's processes and errors.

#include <cstddef>
#include <cstdint>

inline constexpr const char* kDesktopModule = "quiver-desktop.so";
inline constexpr const char* kStartDefaultAppEntry = "QuiverStartDefaultApp";
inline constexpr const char* kIsProgramTypeEntry = "QuiverIsProgramType";

// Starts the default application for the type of the existing `file`, with
// the file as its one argument, and hands each process it starts (one, as
// a rule) to `keep` with `context`. 0 once started; else ERROR_GEN_FAILURE
// when no installed application is associated with the type, or the spawn
// failure translated (platform/AppLauncher.h).
extern "C" uint32_t QuiverStartDefaultApp(const char* file, void (*keep)(int pid, void* context),
                                          void* context);

// Whether the content type guessed from the name `file` and the `size`
// first bytes of the file in `head` (null: from the name alone) is or
// derives from a type whose opening runs it (platform/ProgramType.h).
extern "C" bool QuiverIsProgramType(const char* file, const unsigned char* head, size_t size);
