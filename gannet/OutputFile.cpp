#include "OutputFile.h"

#include "ContentTypeTable.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace gannet {

namespace {

constexpr size_t kMaxExtension = 7;
constexpr size_t kMaxTempPath = 252;
constexpr std::string_view kTempSuffix = ".tmp";

std::string TempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  struct stat st;
  if (dir && *dir && stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return "/tmp";
}

bool UsableExtension(const std::string& extension) {
  return !extension.empty() && extension.size() <= kMaxExtension &&
         extension.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

COutputFile::COutputFile(const std::string& name, CContentTypeTable* table)
    : m_name(name), m_table(table) {}

COutputFile::~COutputFile() { Close(); }

bool COutputFile::ChooseTempFile(std::string* name) {
  std::string path = TempDirectory() + "/httpXXXXXX.tmp";
  if (path.size() > kMaxTempPath) return false;
  const int fd = mkostemps(path.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  unlink(path.c_str());
  *name = path;
  return true;
}

bool COutputFile::Open(std::string* contentType) {
  MapExtension(contentType);
  m_fd = OpenOwn();
  if (m_fd < 0) NoteError();
  return m_fd >= 0;
}

void COutputFile::MapExtension(std::string* contentType) {
  std::string extension;
  if (!contentType->empty() && m_table && m_table->Lookup(contentType, &extension) &&
      UsableExtension(extension) && EndsWith(m_name, kTempSuffix)) {
    m_name.replace(m_name.size() - kTempSuffix.size(), kTempSuffix.size(), extension);
  }
}

int COutputFile::OpenOwn() {
  if (m_name == m_ownPath) {
    const int fd = ReopenOwn();
    if (fd >= 0 || errno != ENOENT) return fd;
  }
  return CreateOwn();
}

int COutputFile::ReopenOwn() {
  const int fd = open(m_name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  int reason = EEXIST;  // not our file any more: someone else's
  struct stat st;
  if (fstat(fd, &st) != 0) {
    reason = errno;
  } else if (S_ISREG(st.st_mode) && st.st_dev == m_ownDevice && st.st_ino == m_ownInode) {
    if (ftruncate(fd, 0) == 0) return fd;
    reason = errno;
  }
  close(fd);
  errno = reason;
  return -1;
}

int COutputFile::CreateOwn() {
  const int fd = open(m_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  m_ownPath = m_name;
  m_ownDevice = st.st_dev;
  m_ownInode = st.st_ino;
  return fd;
}

bool COutputFile::Write(const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(m_fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteError();
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool COutputFile::Truncate() {
  if (m_fd >= 0 && (ftruncate(m_fd, 0) != 0 || lseek(m_fd, 0, SEEK_SET) != 0)) {
    NoteError();
    return false;
  }
  return true;
}

int64_t COutputFile::Length() const {
  struct stat st;
  return m_fd >= 0 && fstat(m_fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool COutputFile::Close() {
  if (m_fd < 0) return true;
  const int result = close(m_fd);
  m_fd = -1;
  if (result != 0) NoteError();
  return result == 0;
}

void COutputFile::Remove() {
  Close();
  if (m_ownPath == m_name) unlink(m_name.c_str());
}

void COutputFile::NoteError() {
  if (m_error == 0) m_error = errno != 0 ? errno : EIO;
}

}  // namespace gannet
