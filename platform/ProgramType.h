#pragma once
// Whether opening a file with its associated application may run code.

#include <string>

// True when the content type GIO guesses for `file`, from its name and its
// first bytes, is or derives from a type whose opening runs it: executables
// and shared libraries, shell and other scripts, desktop entries, Windows
// programs, installers and shortcuts, Java archives. Plain text and
// documents are not among them. A file that cannot be read is judged by its
// name alone. Where the module that asks GIO (platform/DesktopModule.h)
// cannot be loaded, every file counts as a program.
bool IsProgramOrScript(const std::string& file);
