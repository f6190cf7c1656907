#include "remote/LocalRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/SystemError.h"
#include "remote/LocalUpload.h"

bool CLocalRoot::Errno(const std::string& sentence) {
  return Fail(SystemErrorFromErrno(errno), sentence);
}

std::unique_ptr<CPublishUpload> CLocalRoot::Create(const NameSequence& names) {
  CFileHandle file;
  unsigned index = 0;
  const bool created = CreateFirstFree(names, index, [&](const std::string& name) {
    return file.CreateNew(m_directory + name, FileShare::None, false, 0666) ||
           Fail(GetLastError(), "");
  });
  if (!created) return nullptr;
  return std::make_unique<CLocalUpload>(std::move(file), names(index));
}

bool CLocalRoot::Remove(const std::string& name) {
  return unlink((m_directory + name).c_str()) == 0 || Errno();
}

bool CLocalRoot::Discard(const std::string& workName) {
  return Remove(workName) || Code() == ERROR_FILE_NOT_FOUND;
}

bool CLocalRoot::Look(const std::string& name, RootEntry& entry) {
  const std::string path = m_directory + name;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Errno();
  if (S_ISLNK(st.st_mode)) {
    return Fail(ERROR_ACCESS_DENIED, "it is a symbolic link, which may point outside FileRoot.");
  }
  if (!S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED, "it is not a file.");
  entry.size = st.st_size;
  entry.inode = static_cast<int64_t>(st.st_ino);
  entry.modified = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  entry.mode = st.st_mode & 07777;
  return true;
}
