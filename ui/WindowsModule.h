#pragma once
// The one door into the module that holds the Qt windows
// (platform/ProgramModule.h): the program loads it only when there is a
// display, so that a headless run maps no Qt library.

inline constexpr const char* kWindowsModule = "quiver-qt.so";
inline constexpr const char* kRunWithWindowsEntry = "QuiverRunWithWindows";

// Runs the program with its windows and returns its exit status. Qt gets
// only the program path, so that Quiver's own switches reach the
// application object untouched (QT_QPA_PLATFORM and the other Qt variables
// still work).
extern "C" int QuiverRunWithWindows(int argc, char** argv);
