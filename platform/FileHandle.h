#pragma once
// An open file that owns its descriptor: the one file type of Quiver.
//
// Sharing between Quiver processes is emulated with flock(2): a handle opened
// without sharing holds an exclusive lock, one that shares reading holds a
// shared lock, one that shares reading and writing holds none. A handle that
// cannot get its lock fails with ERROR_SHARING_VIOLATION (32).
//
// Every operation returns false on failure with the thread's last error set
// (platform/SystemError.h); nothing throws.

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/types.h>

enum class FileShare { None, Read, ReadWrite };

class CFileHandle {
 public:
  CFileHandle() = default;
  ~CFileHandle();
  CFileHandle(CFileHandle&& other) noexcept;
  CFileHandle& operator=(CFileHandle&& other) noexcept;
  CFileHandle(const CFileHandle&) = delete;
  CFileHandle& operator=(const CFileHandle&) = delete;

  // Creates `path` for reading and writing; fails with ERROR_FILE_EXISTS (80)
  // when anything, a symbolic link included, already has that name. `mode` is
  // reduced by the umask. With `deleteOnClose` the name is removed right
  // after creation: the file lives on through this handle and vanishes when
  // it closes, even when the process is killed.
  bool CreateNew(const std::string& path, FileShare share, bool deleteOnClose = false,
                 mode_t mode = 0666);

  // Creates `path` or truncates the existing file, for reading and writing.
  // The truncation happens only after the sharing lock is held.
  bool CreateAlways(const std::string& path, FileShare share, mode_t mode = 0666);

  // Opens an existing file for reading.
  bool OpenForReading(const std::string& path, FileShare share);

  // Reads up to `length` bytes; `got` is 0 at the end of the file.
  bool Read(void* buffer, size_t length, size_t& got);
  // Writes all `length` bytes (retrying short writes).
  bool Write(const void* buffer, size_t length);
  // Appends up to `length` bytes read from `source`'s position to this
  // file's position; `copied` is 0 at the end of `source`. The kernel copies
  // where both file systems allow it (no pass through this process); elsewhere,
  // and for files that only a read shows whole (those of /proc say), the bytes
  // go through a buffer. A failure leaves both positions undefined.
  bool CopyFrom(CFileHandle& source, size_t length, size_t& copied);
  // Moves to an absolute position from the start of the file.
  bool Seek(uint64_t position);
  // The file's current size.
  bool Size(uint64_t& size) const;
  // True when the descriptor is open on a regular file (not a device, a
  // pipe or a socket); false otherwise, the last error untouched.
  bool IsRegularFile() const;
  // Closes the descriptor. Closing a handle that is not open succeeds.
  // False, with the system's code, when the close reports an error: network
  // file systems report delayed write errors only here, so whoever wrote the
  // file must check it. The descriptor is released either way; the
  // destructor's close goes unchecked.
  bool Close();

  bool IsOpen() const { return m_fd >= 0; }
  int Descriptor() const { return m_fd; }
  const std::string& Path() const { return m_path; }

 private:
  bool Lock(FileShare share);
  bool Adopt(int fd, const std::string& path, FileShare share, bool deleteOnClose);

  bool CopyThroughBuffer(CFileHandle& source, size_t length, size_t& copied);

  int m_fd = -1;
  std::string m_path;
  bool m_deleteOnClose = false;
  bool m_kernelCopies = true;  // until the kernel refuses a copy into this file
};

// The whole content of the file `path`, read without taking a share lock.
// False, with the thread's last error set, when it cannot be opened or read;
// `bytes` then holds what was read before the failure.
bool ReadWholeFile(const std::string& path, std::string& bytes);
