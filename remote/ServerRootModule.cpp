#include "remote/ServerRootModule.h"

#include <utility>

#include "remote/DavRoot.h"
#include "remote/RemoteAddress.h"
#include "remote/SftpRoot.h"

CPublishRoot* QuiverOpenServerRoot(const std::string& fileRoot, std::string& error) {
  RemoteAddress address;
  if (!RemoteAddress::Parse(fileRoot, address, error)) return nullptr;
  if (address.scheme == RemoteAddress::Scheme::Sftp) return new CSftpRoot(std::move(address));
  return new CDavRoot(std::move(address));
}
