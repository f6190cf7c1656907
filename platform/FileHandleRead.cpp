// Reading a file handle, apart from the rest of platform/FileHandle.cpp:
// the receive page gives the same handle its own read
// (web/platform/FileHandleRead.cpp), so that its decoding chain can read the
// download as it arrives.

#include "platform/FileHandle.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <unistd.h>

bool CFileHandle::Read(void* buffer, size_t length, size_t& got) {
  got = 0;
  if (m_fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  ssize_t n;
  do {
    n = read(m_fd, buffer, length);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  got = static_cast<size_t>(n);
  return true;
}
