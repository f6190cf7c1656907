#include "remote/RemoteRoot.h"

#include "remote/DavRoot.h"
#include "remote/SftpRoot.h"

std::unique_ptr<CRemoteRoot> CRemoteRoot::Open(const std::string& fileRoot, std::string& error) {
  RemoteAddress address;
  if (!RemoteAddress::Parse(fileRoot, address, error)) return nullptr;
  if (address.scheme == RemoteAddress::Scheme::Sftp) return std::make_unique<CSftpRoot>(address);
  return std::make_unique<CDavRoot>(address);
}
