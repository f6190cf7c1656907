// Reading a file handle in the page. The descriptor the download's input
// stands behind (web/PageInput.h) reads the download as it arrives; any other
// reads its file of Emscripten's memory file system. No signal interrupts a
// read there.

#include "platform/FileHandle.h"

#include "platform/SystemError.h"
#include "web/PageInput.h"

#include <cerrno>
#include <unistd.h>

bool CFileHandle::Read(void* buffer, size_t length, size_t& got) {
  got = 0;
  if (CPageInput* input = CPageInput::Behind(m_fd)) return input->Read(buffer, length, got);
  const ssize_t n = m_fd < 0 ? -1 : read(m_fd, buffer, length);
  if (n < 0) {
    SetLastError(m_fd < 0 ? ERROR_INVALID_HANDLE : SystemErrorFromErrno(errno));
    return false;
  }
  got = static_cast<size_t>(n);
  return true;
}
