#include "platform/MessageBox.h"

#include <unistd.h>

#include <cstdio>

namespace {

CMessageBox* g_current = nullptr;

std::string OneLine(const std::string& text) {
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      line += ' ';
    } else {
      line += c;
    }
  }
  return line;
}

}  // namespace

void CMessageBox::Warning(const std::string& text) {
  ++m_reports;
  ShowWarning(text);
}

bool CMessageBox::AskYesNo(const std::string& text, bool keepsData) {
  return ShowYesNo(text, keepsData);
}

bool CMessageBox::ReportAndAsk(const std::string& text, bool keepsData) {
  ++m_reports;
  return ShowYesNo(text, keepsData);
}

CMessageBox& CMessageBox::Current() {
  static CConsoleMessageBox console;
  return g_current ? *g_current : console;
}

void CMessageBox::Install(CMessageBox* box) { g_current = box; }

void CConsoleMessageBox::ShowWarning(const std::string& text) {
  std::fprintf(stderr, "Quiver: %s\n", OneLine(text).c_str());
  std::fflush(stderr);
}

bool CConsoleMessageBox::ShowYesNo(const std::string& text, bool keepsData) {
  const char* answer = keepsData ? "Yes" : "No";
  if (!isatty(STDIN_FILENO) || !isatty(STDERR_FILENO)) {
    std::fprintf(stderr, "Quiver: %s [%s: no terminal to ask on]\n", OneLine(text).c_str(), answer);
    std::fflush(stderr);
    return keepsData;
  }
  for (;;) {
    std::fprintf(stderr, "Quiver: %s [%s] ", OneLine(text).c_str(), keepsData ? "Y/n" : "y/N");
    std::fflush(stderr);
    char line[64];
    if (!std::fgets(line, sizeof line, stdin)) return keepsData;
    switch (line[0]) {
      case '\n':
        return keepsData;
      case 'y':
      case 'Y':
        return true;
      case 'n':
      case 'N':
        return false;
      default:
        break;
    }
  }
}
