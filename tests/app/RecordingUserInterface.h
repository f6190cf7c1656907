#pragma once
// A user interface that records what a run asks of it, as lines such as
// "send-window" or "warning: text", and answers from a script.

#include "app/QuiverApp.h"
#include "app/UserInterface.h"

#include <functional>
#include <string>
#include <vector>

class CRecordingUserInterface : public CUserInterface {
 public:
  bool display = true;
  bool control = false;
  bool yesAnswer = false;
  // Applied to the settings when the preferences dialog runs; return true for OK.
  std::function<bool(CQuiverApp&, CSettings&)> preferences = [](CQuiverApp&, CSettings&) {
    return false;
  };
  std::vector<std::string> events;

  bool HasDisplay() const override { return display; }
  bool IsControlKeyHeld() const override { return control; }
  void ShowAbout() override { events.push_back("about"); }
  void ShowUsage(const std::string& text) override {
    events.push_back(text == CQuiverApp::UsageText() ? "usage" : "usage?");
  }
  bool RunPreferences(CQuiverApp& app, CSettings& settings) override {
    events.push_back("preferences");
    return preferences(app, settings);
  }
  void RunSendWindow(CQuiverApp&) override { events.push_back("send-window"); }
  void RunViewWindow(CQuiverApp&, const std::string& file) override {
    events.push_back("view-window " + file);
  }

 protected:
  void ShowWarning(const std::string& text) override { events.push_back("warning: " + text); }
  bool ShowYesNo(const std::string& text, bool) override {
    events.push_back("question: " + text);
    return yesAnswer;
  }
};
