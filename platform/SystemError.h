#pragma once
// The thread's last-error value, numbered like the Windows system error codes
// that Quiver's messages and stored behaviour are built on.
//
// Every failing platform call leaves a code here; callers read it with
// GetLastError() right after the failure, before making another call.

#include <cstdint>
#include <string>

enum SystemErrorCode : uint32_t {
  ERROR_SUCCESS = 0,
  ERROR_INVALID_FUNCTION = 1,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_PATH_NOT_FOUND = 3,
  ERROR_TOO_MANY_OPEN_FILES = 4,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_NOT_ENOUGH_MEMORY = 8,
  ERROR_INVALID_DATA = 13,
  ERROR_WRITE_PROTECT = 19,
  ERROR_WRITE_FAULT = 29,
  ERROR_GEN_FAILURE = 31,
  ERROR_SHARING_VIOLATION = 32,
  ERROR_UNEXP_NET_ERR = 59,
  ERROR_FILE_EXISTS = 80,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_DISK_FULL = 112,
  ERROR_BAD_PATHNAME = 161,
  ERROR_FILENAME_EXCED_RANGE = 206,
  ERROR_FILE_TOO_LARGE = 223,
  ERROR_IO_DEVICE = 1117,
  // The user stopped the work; never shown as a message.
  ERROR_CANCELLED = 1223,
};

void SetLastError(uint32_t code);
uint32_t GetLastError();

// Translates an errno value. With `creating` set, ENOENT means a directory of
// the path is missing and becomes ERROR_PATH_NOT_FOUND instead of
// ERROR_FILE_NOT_FOUND. Unknown values become ERROR_GEN_FAILURE.
uint32_t SystemErrorFromErrno(int err, bool creating = false);

// SetLastError(SystemErrorFromErrno(err, creating)).
void SetLastErrorFromErrno(int err, bool creating = false);

// The English message for a code, one line, without a line break;
// "Unknown error N." for codes without a text.
std::string SystemErrorMessage(uint32_t code);
