#include "platform/FileHandle.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

CFileHandle::~CFileHandle() { Close(); }

CFileHandle::CFileHandle(CFileHandle&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)),
      m_path(std::move(other.m_path)),
      m_deleteOnClose(std::exchange(other.m_deleteOnClose, false)) {}

CFileHandle& CFileHandle::operator=(CFileHandle&& other) noexcept {
  if (this != &other) {
    Close();
    m_fd = std::exchange(other.m_fd, -1);
    m_path = std::move(other.m_path);
    m_deleteOnClose = std::exchange(other.m_deleteOnClose, false);
  }
  return *this;
}

bool CFileHandle::Lock(FileShare share) {
  if (share == FileShare::ReadWrite) return true;
  const int op = (share == FileShare::None ? LOCK_EX : LOCK_SH) | LOCK_NB;
  while (flock(m_fd, op) != 0) {
    if (errno == EINTR) continue;
    SetLastError(errno == EWOULDBLOCK ? ERROR_SHARING_VIOLATION : SystemErrorFromErrno(errno));
    return false;
  }
  return true;
}

bool CFileHandle::Adopt(int fd, const std::string& path, FileShare share, bool deleteOnClose) {
  Close();
  m_fd = fd;
  m_path = path;
  m_deleteOnClose = deleteOnClose;
  m_kernelCopies = true;
  if (Lock(share)) return true;
  const uint32_t code = GetLastError();
  Close();
  SetLastError(code);
  return false;
}

bool CFileHandle::CreateNew(const std::string& path, FileShare share, bool deleteOnClose,
                            mode_t mode) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) {
    SetLastErrorFromErrno(errno, true);
    return false;
  }
  // The file is ours from here on, so a failed lock must not leave it behind.
  if (!Adopt(fd, path, share, true)) return false;
  m_deleteOnClose = false;
  // Unlinked at once, the file lives only through the descriptor: not even
  // a killed process can leave it behind.
  if (deleteOnClose) unlink(path.c_str());
  return true;
}

bool CFileHandle::CreateAlways(const std::string& path, FileShare share, mode_t mode) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
  if (fd < 0) {
    SetLastErrorFromErrno(errno, true);
    return false;
  }
  if (!Adopt(fd, path, share, false)) return false;
  // Devices and pipes have nothing to truncate.
  struct stat st;
  if (fstat(m_fd, &st) == 0 && !S_ISREG(st.st_mode)) return true;
  if (ftruncate(m_fd, 0) != 0) {
    SetLastErrorFromErrno(errno);
    const uint32_t code = GetLastError();
    Close();
    SetLastError(code);
    return false;
  }
  return true;
}

bool CFileHandle::OpenForReading(const std::string& path, FileShare share) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return Adopt(fd, path, share, false);
}

bool CFileHandle::Write(const void* buffer, size_t length) {
  if (m_fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  const char* p = static_cast<const char*>(buffer);
  while (length > 0) {
    const ssize_t n = write(m_fd, p, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      SetLastErrorFromErrno(errno);
      return false;
    }
    p += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

bool CFileHandle::Seek(uint64_t position) {
  if (m_fd < 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (lseek(m_fd, static_cast<off_t>(position), SEEK_SET) < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool CFileHandle::Size(uint64_t& size) const {
  struct stat st;
  if (m_fd < 0 || fstat(m_fd, &st) != 0) {
    SetLastError(m_fd < 0 ? ERROR_INVALID_HANDLE : SystemErrorFromErrno(errno));
    return false;
  }
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool CFileHandle::IsRegularFile() const {
  struct stat st;
  return m_fd >= 0 && fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode);
}

bool CFileHandle::Close() {
  if (m_fd < 0) return true;
  if (m_deleteOnClose) unlink(m_path.c_str());
  const int rc = close(std::exchange(m_fd, -1));
  m_deleteOnClose = false;
  if (rc != 0 && errno != EINTR) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  CFileHandle file;
  uint64_t size = 0;
  if (!file.OpenForReading(path, FileShare::ReadWrite) || !file.Size(size)) return false;
  bytes.resize(size);
  size_t filled = 0;
  for (size_t got = 1; got != 0 && filled < bytes.size(); filled += got) {
    if (!file.Read(bytes.data() + filled, bytes.size() - filled, got)) {
      bytes.resize(filled);
      return false;
    }
  }
  bytes.resize(filled);
  return true;
}
