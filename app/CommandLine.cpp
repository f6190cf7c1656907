#include "app/CommandLine.h"

#include "app/PublishCommands.h"
#include "app/QuiverApp.h"
#include "platform/LongName.h"

CCommandLine::CCommandLine(int argc, const char* const* argv)
    : m_restCount(argc > 0 ? argc - 1 : 0), m_rest(argv + (argc > 0 ? 1 : 0)) {
  const std::string first = m_restCount > 0 ? m_rest[0] : "";
  if (first == "--help") {
    m_action = Action::Help;
  } else if (first == "--link") {
    m_action = Action::Links;
    --m_restCount;
    ++m_rest;
  } else if (m_restCount > 0 && CPublishCommands::IsCommand(m_rest[0])) {
    m_action = Action::PublishCommand;
  } else if (ReadSwitches()) {
    m_action = m_mode == ModeSend ? Action::Send : m_mode == ModeView ? Action::View : Action::Files;
    if (m_mode == ModeDefault && m_restCount > 0) m_target = ExpandLongPath(m_rest[0]);
  }
}

// The extension is looked for in the last component only: a "." in a
// directory name (such as ~/.config) is no extension of the file.
std::string CCommandLine::WithPointerExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return path + CQuiverApp::kPointerExtension;
  }
  return path.substr(0, dot) + CQuiverApp::kPointerExtension;
}

std::string CCommandLine::Take() {
  --m_restCount;
  return ExpandLongPath(*m_rest++);
}

bool CCommandLine::ReadSwitches() {
  bool sending = false;
  while (m_restCount > 0 && m_rest[0][0] == '-') {
    const std::string token = *m_rest++;
    --m_restCount;
    for (size_t i = 1; i < token.size(); ++i) {
      switch (token[i]) {
        case 'P':
          m_action = Action::Preferences;
          return false;
        case 'V':
          m_action = Action::About;
          return false;
        case 'h':
          m_action = Action::Help;
          return false;
        case 's':
          // One send per command line, and a switch after the source is
          // never taken for the name of its pointer file.
          if (m_restCount == 0 || sending) {
            m_action = Action::Usage;
            return false;
          }
          sending = true;
          m_source = Take();
          m_target = m_restCount == 0 || m_rest[0][0] == '-' ? WithPointerExtension(m_source) : Take();
          m_mode = ModeSend;
          break;
        case 'v':
          if (m_restCount > 0) m_target = Take();
          m_mode = ModeView;
          break;
        default:
          m_action = Action::Usage;
          return false;
      }
    }
  }
  return true;
}
