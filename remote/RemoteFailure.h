#pragma once
// The outcome of the last failed operation on a server: a system error code
// (platform/SystemError.h) for programs, and one sentence for people that
// names the server and says what to do.
//
// Codes used by the remote classes: ERROR_FILE_EXISTS (80) when a name is
// taken, ERROR_FILE_NOT_FOUND (2) when it is missing, ERROR_PATH_NOT_FOUND
// (3) when the directory is, ERROR_ACCESS_DENIED (5) for refused credentials
// or permissions, ERROR_UNEXP_NET_ERR (59) when the server cannot be reached
// or the connection broke, ERROR_CANCELLED (1223) when the caller stopped,
// and the TLS reasons of SystemError.h for a server whose certificate fails.

#include <cstdint>
#include <string>
#include <utility>

class CRemoteFailure {
 public:
  uint32_t Code() const { return m_code; }
  const std::string& Error() const { return m_error; }
  // The failure as the user reads it: its sentence, else the system's
  // message for its code (a local root's failures carry no sentence).
  std::string Reason() const;

  // Records the failure and returns false, so that `return Fail(...)` ends
  // a failing operation.
  bool Fail(uint32_t code, std::string error) {
    m_code = code;
    m_error = std::move(error);
    return false;
  }
  // Takes over another object's failure; returns false.
  bool Fail(const CRemoteFailure& other) { return Fail(other.m_code, other.m_error); }

 private:
  uint32_t m_code = 0;
  std::string m_error;
};
