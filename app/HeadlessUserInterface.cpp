#include "app/HeadlessUserInterface.h"

#include "app/QuiverApp.h"

#include <cstdio>

void CHeadlessUserInterface::ShowAbout() {
  std::printf("%s\n", CQuiverApp::VersionLine().c_str());
  std::fflush(stdout);
}

void CHeadlessUserInterface::ShowUsage(const std::string& text) {
  std::string plain;
  for (char c : text) {
    if (c != '\r') plain += c;
  }
  std::fputs(plain.c_str(), stderr);
  std::fflush(stderr);
}

// The application never asks for a window without a display; should it do
// so, the usage text explains what can be done instead.
bool CHeadlessUserInterface::RunPreferences(CQuiverApp&, CSettings&) {
  ShowUsage(CQuiverApp::UsageText());
  return false;
}

void CHeadlessUserInterface::RunSendWindow(CQuiverApp&) { ShowUsage(CQuiverApp::UsageText()); }

void CHeadlessUserInterface::RunViewWindow(CQuiverApp&, const std::string&) {
  ShowUsage(CQuiverApp::UsageText());
}

void CHeadlessUserInterface::ShowWarning(const std::string& text) { m_console.Warning(text); }

bool CHeadlessUserInterface::ShowYesNo(const std::string& text, bool keepsData) {
  return m_console.AskYesNo(text, keepsData);
}
