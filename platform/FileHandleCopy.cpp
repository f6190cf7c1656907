// Copying between two file handles, apart from the rest of
// platform/FileHandle.cpp: the receive page builds that file but has no
// copy_file_range.

#include "platform/FileHandle.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace {

// The kernel cannot copy between these two files, or not on this kernel:
// the bytes go through the process instead.
bool KernelRefuses(int error) {
  return error == EXDEV || error == EINVAL || error == ENOSYS || error == EOPNOTSUPP ||
         error == EBADF || error == EPERM || error == ETXTBSY;
}

}  // namespace

bool CFileHandle::CopyFrom(CFileHandle& source, size_t length, size_t& copied) {
  copied = 0;
  if (m_fd < 0 || source.m_fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  while (m_kernelCopies) {
    const ssize_t n = copy_file_range(source.m_fd, nullptr, m_fd, nullptr, length, 0);
    if (n > 0) {
      copied = static_cast<size_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && !KernelRefuses(errno)) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    // Refused, or 0: an end of file, or a file whose size the kernel does
    // not know (those of /proc read as empty here). Only a read tells.
    m_kernelCopies = false;
  }
  return CopyThroughBuffer(source, length, copied);
}

bool CFileHandle::CopyThroughBuffer(CFileHandle& source, size_t length, size_t& copied) {
  std::vector<uint8_t> buffer(length);
  return source.Read(buffer.data(), buffer.size(), copied) && Write(buffer.data(), copied);
}
