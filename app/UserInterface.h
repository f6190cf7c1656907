#pragma once
// Everything the run modes need from windows, in one narrow seam.
//
// The program installs the Qt implementation when a display is present and
// the headless one (HeadlessUserInterface.h) when not; tests install one that
// records what each command line does. Messages go through the CMessageBox
// part of the same object.

#include "platform/MessageBox.h"

#include <cstdio>
#include <string>

class CQuiverApp;
class CSettings;

class CUserInterface : public CMessageBox {
 public:
  // False when no window can be shown: the run modes that need one then
  // print the usage text and end with status 2.
  virtual bool HasDisplay() const = 0;
  // Whether the Control key is held down right now.
  virtual bool IsControlKeyHeld() const = 0;
  // The About box (modal), or the version line without a display.
  virtual void ShowAbout() = 0;
  // The usage box (modal) showing `text`, or the text on standard error.
  virtual void ShowUsage(const std::string& text) = 0;
  // The preferences dialog, modal, editing `settings` in place; true when it
  // closed with OK (its Save button saves through `app` and also means OK).
  virtual bool RunPreferences(CQuiverApp& app, CSettings& settings) = 0;
  // The send window, modal.
  virtual void RunSendWindow(CQuiverApp& app) = 0;
  // The view window, modal, showing `pointerFile` (may be empty).
  virtual void RunViewWindow(CQuiverApp& app, const std::string& pointerFile) = 0;
  // A report of several lines (such as the publishing check's) in a window
  // titled `title`; without windows the text goes to standard output.
  virtual void ShowReport(const std::string& title, const std::string& text) {
    (void)title;
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
  }
};
