#pragma once
// Claiming new file names without ever overwriting a file.
//
// A name is claimed by creating the file exclusively, so two processes never
// get the same name. The wanted name base+extension is tried first, then
// "%1.4s%04x%s": at most four bytes of the base, a lowercase hexadecimal
// counter from 0000 to 3ffe, and the extension (with its "." or empty).

#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/FileHandle.h"

struct FileAttributes {
  bool deleteOnClose = false;
  mode_t mode = 0666;  // reduced by the umask
};

// Creates a new file in `directory` for reading and writing and returns its
// handle and its name (without directory). Fails at once, with that failure's
// code as the thread's last error, when a creation fails for any reason other
// than an existing name; fails with ERROR_TOO_MANY_OPEN_FILES (4) when all
// 16384 names are taken. Nothing is created on failure.
bool CreateUniqueFile(const std::string& directory, const std::string& base,
                      const std::string& extension, FileShare share,
                      const FileAttributes& attributes, CFileHandle& handle, std::string& name);

// The names a new file takes in turn: base+extension (index 0), then the
// counter names (index 1 to 16383); an empty name past the last.
std::string UniqueName(const std::string& base, const std::string& extension, unsigned index);

class CPublishRoot;
class CPublishUpload;

// A new file of a publishing root, named as CreateUniqueFile names one but
// for the names `avoid` says true of; null on failure, the root's Code() and
// Error() telling why.
std::unique_ptr<CPublishUpload> CreateUniqueUpload(
    CPublishRoot& root, const std::string& base, const std::string& extension,
    const std::function<bool(const std::string&)>& avoid = nullptr);

// CreateUniqueFile in the user's temporary directory with read-and-write
// sharing and mode 0600. `path` becomes the directory, "/" and the name tried
// last, whether or not the creation succeeded.
bool CreateTempFile(const std::string& base, const std::string& extension, CFileHandle& handle,
                    std::string& path, bool deleteOnClose);
