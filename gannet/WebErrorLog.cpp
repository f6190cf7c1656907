#include "WebErrorLog.h"

#include <new>

namespace gannet {

namespace {

CWebErrorLog* g_log = nullptr;

}  // namespace

std::array<std::string, kErrorCodes> DefaultMessages() {
  return {
      "No Error.",
      "No URL provided.",
      "Could not create protocol driver object.",
      "URL specifies unknown protocol.",
      "Could not open temp file.",
      "Initialization of network event/msg control failed.",
      "Could not attach to network event/msg control.",
      "File not aquired - get web info for server message",
      "Socket object could not be created - out of memory",
      "Ini file object could not be created - out of memory",
      "Winsock Error %d: %s" + std::string(34, ' '),
  };
}

std::string ComposeSocketMessage(int32_t error, const char* text) {
  return "Winsock Error " + std::to_string(error) + ": " + text + std::string(34, ' ');
}

CWebErrorLog* CWebErrorLog::AddRef() {
  if (g_log) {
    ++g_log->m_refs;
  } else {
    g_log = new (std::nothrow) CWebErrorLog;
  }
  return g_log;
}

void CWebErrorLog::Release() {
  if (--m_refs > 0) return;
  if (g_log == this) g_log = nullptr;
  delete this;
}

CWebErrorLog* CWebErrorLog::Shared() { return g_log; }

void CWebErrorLog::Record(int32_t code, const std::string& message, int32_t socketError,
                          bool fatal) {
  if (!fatal) return;
  m_code = code;
  m_message = message;
  m_socketError = socketError;
  m_source = "CWebFile";
}

}  // namespace gannet
