#pragma once
// The outcome of an operation: a system error code (platform/SystemError.h)
// for programs, 0 for success, and one sentence for people that says what
// failed and what to do, empty where the system's message says enough.
// Copied and returned by value; an object whose operations return a flag
// derives from it and keeps the outcome of its last failed operation.

#include <cstdint>
#include <string>
#include <utility>

class CStatus {
 public:
  CStatus() = default;
  CStatus(uint32_t code, std::string error) : m_code(code), m_error(std::move(error)) {}
  // The calling thread's last error (ERROR_GEN_FAILURE when none is
  // pending, so that a failure never reads as success) with `error`.
  static CStatus FromLastError(std::string error = "");

  bool Ok() const { return m_code == 0; }
  uint32_t Code() const { return m_code; }
  const std::string& Error() const { return m_error; }
  // The outcome as the user reads it: its sentence, else the system's
  // message for its code.
  std::string Reason() const;
  const CStatus& Status() const { return *this; }

  // Records the outcome and returns false, so that `return Fail(...)` ends
  // a failing operation.
  bool Fail(uint32_t code, std::string error) {
    m_code = code;
    m_error = std::move(error);
    return false;
  }
  bool Fail(const CStatus& other) { return Fail(other.m_code, other.m_error); }

 private:
  uint32_t m_code = 0;
  std::string m_error;
};
