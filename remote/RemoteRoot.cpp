#include "remote/RemoteRoot.h"

#include "platform/SystemError.h"
#include "remote/DavRoot.h"
#include "remote/SftpRoot.h"

bool CRemoteRoot::CreateFirstFree(const NameSequence& names, unsigned& index,
                                  const std::function<bool(const std::string&)>& create) {
  for (;; ++index) {
    const std::string name = names(index);
    if (name.empty()) {
      return Fail(ERROR_TOO_MANY_OPEN_FILES,
                  "Every name for " + names(0) + " is taken in " + m_address.Display() + ".");
    }
    if (create(name)) return true;
    if (Code() != ERROR_FILE_EXISTS) return false;
  }
}

std::unique_ptr<CRemoteRoot> CRemoteRoot::Open(const std::string& fileRoot, std::string& error) {
  RemoteAddress address;
  if (!RemoteAddress::Parse(fileRoot, address, error)) return nullptr;
  if (address.scheme == RemoteAddress::Scheme::Sftp) return std::make_unique<CSftpRoot>(address);
  return std::make_unique<CDavRoot>(address);
}
