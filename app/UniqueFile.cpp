#include "app/UniqueFile.h"

#include <glib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/SystemError.h"
#include "platform/TempDirectory.h"
#include "remote/PublishRoot.h"

namespace {

constexpr unsigned kLastCounter = 0x3ffe;

std::string Join(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

// At most four bytes of the base. A name in UTF-8 loses a character that
// would be cut in half, since a URL holding half a character is not valid
// UTF-8 and some servers refuse it; other names keep four bytes.
std::string ShortBase(const std::string& base) {
  size_t cut = std::min<size_t>(base.size(), 4);
  if (g_utf8_validate(base.data(), static_cast<gssize>(base.size()), nullptr)) {
    while (cut > 0 && cut < base.size() && (static_cast<unsigned char>(base[cut]) & 0xc0) == 0x80) {
      --cut;
    }
  }
  return base.substr(0, cut);
}

std::string CounterName(const std::string& base, unsigned counter, const std::string& extension) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04x", counter);
  return ShortBase(base) + digits + extension;
}

}  // namespace

std::string UniqueName(const std::string& base, const std::string& extension, unsigned index) {
  if (index == 0) return base + extension;
  return index <= kLastCounter + 1 ? CounterName(base, index - 1, extension) : "";
}

bool CreateUniqueFile(const std::string& directory, const std::string& base,
                      const std::string& extension, FileShare share,
                      const FileAttributes& attributes, CFileHandle& handle,
                      std::string& name) {
  for (unsigned index = 0; !(name = UniqueName(base, extension, index)).empty(); ++index) {
    if (handle.CreateNew(Join(directory, name), share, attributes.deleteOnClose,
                         attributes.mode)) {
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) return false;
  }
  name = CounterName(base, kLastCounter, extension);
  SetLastError(ERROR_TOO_MANY_OPEN_FILES);
  return false;
}

std::unique_ptr<CPublishUpload> CreateUniqueUpload(
    CPublishRoot& root, const std::string& base, const std::string& extension,
    const std::function<bool(const std::string&)>& avoid) {
  if (!avoid) {
    return root.Create(
        [base, extension](unsigned index) { return UniqueName(base, extension, index); });
  }
  // The names left once the avoided ones are passed over, found as the root
  // asks for them; an upload may ask after this returns.
  struct Found {
    std::vector<std::string> names;
    unsigned next = 0;
  };
  auto found = std::make_shared<Found>();
  return root.Create([found, base, extension, avoid](unsigned index) {
    while (found->names.size() <= index) {
      std::string name = UniqueName(base, extension, found->next++);
      if (name.empty()) return name;
      if (!avoid(name)) found->names.push_back(std::move(name));
    }
    return found->names[index];
  });
}

bool CreateTempFile(const std::string& base, const std::string& extension, CFileHandle& handle,
                    std::string& path, bool deleteOnClose) {
  std::string directory = GetTempDirectory();
  if (directory.empty()) return false;
  if (directory.back() != '/') directory += '/';
  std::string name;
  const bool created = CreateUniqueFile(directory, base, extension, FileShare::ReadWrite,
                                        {deleteOnClose, 0600}, handle, name);
  path = directory + name;
  return created;
}
