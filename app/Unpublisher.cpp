#include "app/Unpublisher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"

namespace {

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

// A directory descriptor, closed when it goes.
class CDirectory {
 public:
  explicit CDirectory(const std::string& path)
      : m_fd(open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~CDirectory() {
    if (m_fd >= 0) close(m_fd);
  }
  CDirectory(const CDirectory&) = delete;
  CDirectory& operator=(const CDirectory&) = delete;
  int Fd() const { return m_fd; }

 private:
  int m_fd;
};

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string ErrnoText() { return SystemErrorMessage(SystemErrorFromErrno(errno)); }

}  // namespace

int64_t CUnpublisher::ModifiedNs(const struct stat& st) {
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

CUnpublisher::CUnpublisher(CPublishRegister& publishRegister, std::string fileRoot)
    : m_register(publishRegister), m_fileRoot(std::move(fileRoot)) {}

bool CUnpublisher::Refuse(const std::string& problem) {
  m_problems.push_back(problem);
  return false;
}

bool CUnpublisher::Expire(int32_t days, int64_t now) {
  std::vector<PublishedFile> due;
  if (!m_register.Due(now - days * kSecondsPerDay, due)) return Refuse(m_register.Error());
  bool ok = true;
  for (const PublishedFile& file : due) ok = Remove(file, CPublishRegister::kExpired, now) && ok;
  return ok;
}

bool CUnpublisher::Unpublish(const std::string& key, int64_t now) {
  std::vector<PublishedFile> found;
  if (!m_register.Find(key, found)) return Refuse(m_register.Error());
  if (found.empty()) return Refuse("No published file is known as " + key + ".");
  bool ok = true;
  for (const PublishedFile& file : found) ok = Remove(file, CPublishRegister::kRemoved, now) && ok;
  return ok;
}

bool CUnpublisher::Remove(const PublishedFile& file, const std::string& state, int64_t now) {
  if (file.fileRoot != m_fileRoot) {
    return Refuse("Not deleting " + file.url + ": it was published into " + file.fileRoot +
                  " and FileRoot is now " + m_fileRoot + ".");
  }
  if (!IsPlainName(file.name)) {
    return Refuse("Refusing the register entry " + std::to_string(file.id) + " (\"" + file.name +
                  "\"): it points outside FileRoot " + m_fileRoot + ".");
  }
  const CDirectory root(m_fileRoot);
  if (root.Fd() < 0) return Refuse("Cannot open FileRoot " + m_fileRoot + ": " + ErrnoText());
  const std::string path = m_fileRoot + file.name;
  struct stat st;
  const bool missing = fstatat(root.Fd(), file.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0;
  if (missing && errno != ENOENT) return Refuse("Cannot look at " + path + ": " + ErrnoText());
  const bool replaced =
      !missing && file.inode != 0 &&
      (static_cast<int64_t>(st.st_ino) != file.inode || ModifiedNs(st) != file.modified);
  const bool gone = missing || replaced;
  if (!gone && S_ISLNK(st.st_mode)) {
    return Refuse("Refusing " + path +
                  ": it is a symbolic link, which may point outside FileRoot.");
  }
  if (!gone && !S_ISREG(st.st_mode)) return Refuse("Refusing " + path + ": it is not a file.");
  if (!gone && unlinkat(root.Fd(), file.name.c_str(), 0) != 0) {
    return Refuse("Cannot delete " + path + ": " + ErrnoText());
  }
  if (!m_register.Mark(file.id, state, now)) return Refuse(m_register.Error());
  m_lines.push_back((state == CPublishRegister::kExpired ? "Expired " : "Removed ") + file.url +
                    (missing    ? " (already gone)"
                     : replaced ? " (gone; another file has its name now and stays)"
                                : ""));
  return true;
}
