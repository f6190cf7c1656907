#pragma once
// The local file a transfer writes. It is created with O_CREAT | O_EXCL |
// O_NOFOLLOW and mode 0600, so a name taken by anybody else fails; a later
// transfer rewrites only the file this object created itself (same device
// and inode). Every failure returns false (or -1) and keeps errno as the
// first local error until ResetError.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

namespace gannet {

class CContentTypeTable;

class COutputFile {
 public:
  // table is not owned and may be null (no extension mapping).
  COutputFile(const std::string& name, CContentTypeTable* table);
  ~COutputFile();
  COutputFile(const COutputFile&) = delete;
  COutputFile& operator=(const COutputFile&) = delete;

  // Claims a new name "http" + unique part + ".tmp" in the user's temporary
  // directory ($TMPDIR when it names a directory, else /tmp), proves it can
  // be created, and removes the file again. False when that fails or when
  // the name would not fit 252 characters (a mapped extension may add 3).
  static bool ChooseTempFile(std::string* name);

  // The name as it stands, mapped extension included.
  const std::string& Name() const { return m_name; }
  bool IsOpen() const { return m_fd >= 0; }
  // Opens the file for *contentType: a name ending in ".tmp" first takes
  // the extension the content-type table gives for it, and the table's
  // lookup cuts *contentType after its first word.
  bool Open(std::string* contentType);
  // Writes all of data to the open file.
  bool Write(const char* data, size_t size);
  // Empties the open file to write it again from the start.
  bool Truncate();
  // The open file's length, or -1.
  int64_t Length() const;
  // Closes the file; true when it was not open.
  bool Close();
  // Closes the file and removes it when this object created it.
  void Remove();

  // The errno value of the first failure since ResetError; 0 for none.
  int Error() const { return m_error; }
  void ResetError() { m_error = 0; }

 private:
  void MapExtension(std::string* contentType);
  int OpenOwn();
  int ReopenOwn();
  int CreateOwn();
  // Keeps errno as the first failure.
  void NoteError();

  std::string m_name;
  CContentTypeTable* m_table;
  int m_fd = -1;
  int m_error = 0;
  // The file this object created last, so that it may rewrite it.
  std::string m_ownPath;
  dev_t m_ownDevice = 0;
  ino_t m_ownInode = 0;
};

}  // namespace gannet
