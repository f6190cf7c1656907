#pragma once
// The outcome codes of the web access library with their texts, and the one
// error record shared by all web objects of the process. The record keeps
// the most recent fatal outcome; it lives while a web object holds a
// reference, and the next web object after the last one starts afresh.

#include <array>
#include <cstdint>
#include <string>

namespace gannet {

constexpr int kErrorCodes = 11;
constexpr int32_t kCodeSocketError = 10;

// The texts of codes 0 to 10, as a web object's message table starts.
std::array<std::string, kErrorCodes> DefaultMessages();

// The text of code 10 for a socket error: "Winsock Error %d: %s" with the
// number and its text, followed by the template's 34 blanks.
std::string ComposeSocketMessage(int32_t error, const char* text);

class CWebErrorLog {
 public:
  // The shared record with one more reference, created (code 0, empty
  // message) when none exists. Null when it cannot be allocated.
  static CWebErrorLog* AddRef();
  // Gives one reference back; frees the record at the last one.
  void Release();
  // The shared record, or null.
  static CWebErrorLog* Shared();

  // A fatal recording replaces the fatal entry; any other changes nothing.
  // socketError is the number that a message of code 10 carries, else 0.
  void Record(int32_t code, const std::string& message, int32_t socketError, bool fatal);
  int32_t FatalCode() const { return m_code; }
  const std::string& FatalMessage() const { return m_message; }
  int32_t FatalSocketError() const { return m_socketError; }

 private:
  CWebErrorLog() = default;

  int32_t m_code = 0;
  std::string m_message;
  int32_t m_socketError = 0;
  std::string m_source;
  int32_t m_refs = 1;
};

}  // namespace gannet
