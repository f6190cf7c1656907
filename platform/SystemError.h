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
  ERROR_MOD_NOT_FOUND = 126,
  ERROR_DISK_FULL = 112,
  ERROR_BAD_PATHNAME = 161,
  ERROR_FILENAME_EXCED_RANGE = 206,
  ERROR_FILE_TOO_LARGE = 223,
  ERROR_IO_DEVICE = 1117,
  // The user stopped the work; never shown as a message.
  ERROR_CANCELLED = 1223,
  // Fetching from the web: the transfer's refusals, the secure channel's
  // reasons and the server's answers.
  ERROR_NOT_SUPPORTED = 50,
  ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR = 12040,
  ERROR_INTERNET_POST_IS_NON_SECURE = 12042,
  ERROR_HTTP_REDIRECT_FAILED = 12156,
  SEC_E_WRONG_PRINCIPAL = 0x80090322u,
  SEC_E_UNTRUSTED_ROOT = 0x80090325u,
  SEC_E_ILLEGAL_MESSAGE = 0x80090326u,
  SEC_E_CERT_UNKNOWN = 0x80090327u,
  SEC_E_CERT_EXPIRED = 0x80090328u,
  SEC_E_ALGORITHM_MISMATCH = 0x80090331u,
  HTTP_E_STATUS_UNEXPECTED_REDIRECTION = 0x80190003u,
  HTTP_E_STATUS_UNEXPECTED_CLIENT_ERROR = 0x80190004u,
  HTTP_E_STATUS_UNEXPECTED_SERVER_ERROR = 0x80190005u,
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
