#include "app/Unpublisher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "app/RemoteConnect.h"
#include "platform/SystemError.h"
#include "remote/RemoteRoot.h"

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

CUnpublisher::~CUnpublisher() = default;

bool CUnpublisher::Refuse(const std::string& problem) {
  m_problems.push_back(problem);
  return false;
}

bool CUnpublisher::Expire(int32_t days, int64_t now) {
  std::vector<PublishedFile> due;
  if (!m_register.Due(now - days * kSecondsPerDay, due)) return Refuse(m_register.Error());
  bool ok = RemoveUnfinished(now);
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

bool CUnpublisher::RemoveUnfinished(int64_t now) {
  std::vector<PublishedFile> left;
  if (!m_register.Unfinished(left)) return Refuse(m_register.Error());
  bool ok = true;
  for (const PublishedFile& file : left) {
    if (file.fileRoot == m_fileRoot) ok = Remove(file, CPublishRegister::kRemoved, now) && ok;
  }
  return ok;
}

bool CUnpublisher::Ended(const PublishedFile& file, const std::string& state, int64_t now,
                         const std::string& note) {
  if (!m_register.Mark(file.id, state, now)) return Refuse(m_register.Error());
  const std::string unfinished =
      file.state == CPublishRegister::kUnfinished ? " (left by a failed send)" : "";
  m_lines.push_back((state == CPublishRegister::kExpired ? "Expired " : "Removed ") + file.url +
                    unfinished + note);
  return true;
}

bool CUnpublisher::RemoveRemote(const PublishedFile& file, const std::string& state, int64_t now) {
  std::string error;
  if (!m_remote && !(m_remote = CRemoteRoot::Open(m_fileRoot, error))) return Refuse(error);
  if (!ConnectRemoteRoot(*m_remote)) return Refuse(m_remote->Error());
  const std::string where = m_fileRoot + file.name;
  int64_t size = 0;
  const bool missing = !m_remote->Size(file.name, size);
  if (missing && m_remote->Code() != ERROR_FILE_NOT_FOUND) {
    return Refuse("Cannot look at " + where + ": " + m_remote->Error());
  }
  const bool replaced = !missing && file.size > 0 && size != file.size;
  if (!missing && !replaced && !m_remote->Remove(file.name) &&
      m_remote->Code() != ERROR_FILE_NOT_FOUND) {
    return Refuse("Cannot delete " + where + ": " + m_remote->Error());
  }
  return Ended(file, state, now,
               missing    ? " (already gone)"
               : replaced ? " (gone; another file has its name now and stays)"
                          : "");
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
  return RemoteAddress::IsRemote(m_fileRoot) ? RemoveRemote(file, state, now)
                                             : RemoveLocal(file, state, now);
}

bool CUnpublisher::RemoveLocal(const PublishedFile& file, const std::string& state, int64_t now) {
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
  return Ended(file, state, now,
               missing    ? " (already gone)"
               : replaced ? " (gone; another file has its name now and stays)"
                          : "");
}
