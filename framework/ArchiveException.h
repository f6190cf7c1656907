#pragma once
// The failure of an archive operation (framework/Archive.h).
//
// Reading reports every flaw of the stored bytes as a format error; failing
// file operations report the thread's system error code of the failure.

#include <cstdint>
#include <stdexcept>

class CArchiveException : public std::runtime_error {
 public:
  enum class Cause {
    EndOfFile,   // fewer bytes left than a field, count or length needs
    BadClass,    // a class name that is too long, unknown or not accepted
    BadSchema,   // a schema number that differs from the class's own
    BadIndex,    // an object tag naming no class or object read before
    BadObject,   // a tag form the reader did not accept here
    ReadFault,   // the file could not be read
    WriteFault,  // the file could not be written
  };

  // `systemError` is the system code of a read or write fault, else 0.
  CArchiveException(Cause cause, uint32_t systemError = 0);

  Cause GetCause() const { return m_cause; }
  uint32_t GetSystemError() const { return m_systemError; }
  // True for flaws of the stored bytes, false for failing file operations.
  bool IsFormatError() const;

 private:
  Cause m_cause;
  uint32_t m_systemError;
};
