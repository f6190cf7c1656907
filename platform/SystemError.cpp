#include "platform/SystemError.h"

#include <cerrno>
#include <unordered_map>

namespace {

thread_local uint32_t t_lastError = 0;

}  // namespace

void SetLastError(uint32_t code) { t_lastError = code; }

uint32_t GetLastError() { return t_lastError; }

uint32_t SystemErrorFromErrno(int err, bool creating) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return creating ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ETXTBSY:
    case EWOULDBLOCK: return ERROR_SHARING_VIOLATION;
    case EEXIST: return ERROR_FILE_EXISTS;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOSPC:
    case EDQUOT: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EFBIG: return ERROR_FILE_TOO_LARGE;
    case EIO: return ERROR_IO_DEVICE;
    default: return ERROR_GEN_FAILURE;
  }
}

void SetLastErrorFromErrno(int err, bool creating) {
  SetLastError(SystemErrorFromErrno(err, creating));
}

std::string SystemErrorMessage(uint32_t code) {
  static const std::unordered_map<uint32_t, const char*> texts = {
      {1, "Incorrect function."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {4, "The system cannot open the file."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {13, "The data is invalid."},
      {19, "The media is write protected."},
      {29, "The system cannot write to the specified device."},
      {31, "A device attached to the system is not functioning."},
      {32, "The process cannot access the file because it is being used by another process."},
      {59, "An unexpected network error occurred."},
      {80, "The file exists."},
      {87, "The parameter is incorrect."},
      {112, "There is not enough space on the disk."},
      {126, "The specified module could not be found."},
      {161, "The specified path is invalid."},
      {206, "The filename or extension is too long."},
      {223, "The file size exceeds the limit allowed and cannot be saved."},
      {1117, "The request could not be performed because of an I/O device error."},
      {50, "The request is not supported."},
      {12040, "The application is moving from a secure to a non-secure site."},
      {12042, "The application is posting data to a server that is not secure."},
      {12156, "The HTTP redirect request failed."},
      {0x80090322u, "The target principal name is incorrect."},
      {0x80090325u, "The certificate chain was issued by an authority that is not trusted."},
      {0x80090326u, "The message received was unexpected or badly formatted."},
      {0x80090327u, "An unknown error occurred while processing the certificate."},
      {0x80090328u, "The received certificate has expired."},
      {0x80090331u,
       "The client and server cannot communicate, because they do not possess a common "
       "algorithm."},
      {0x80190003u, "Unexpected redirection status code (3xx)."},
      {0x80190004u, "Unexpected client error status code (4xx)."},
      {0x80190005u, "Unexpected server error status code (5xx)."},
  };
  auto it = texts.find(code);
  if (it != texts.end()) return it->second;
  return "Unknown error " + std::to_string(static_cast<int32_t>(code)) + ".";
}
