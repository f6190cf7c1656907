#include "remote/RemoteRoot.h"

#include "remote/DavRoot.h"

std::unique_ptr<CRemoteRoot> CRemoteRoot::Open(const std::string& fileRoot, std::string& error) {
  RemoteAddress address;
  if (!RemoteAddress::Parse(fileRoot, address, error)) return nullptr;
  if (address.scheme == RemoteAddress::Scheme::Sftp) {
    error = "FileRoot " + fileRoot + ": publishing over SFTP is not built in yet.";
    return nullptr;
  }
  return std::make_unique<CDavRoot>(address);
}
