#include "remote/ServerRootModule.h"

#include "remote/DavRoot.h"
#include "remote/SftpRoot.h"

extern "C" const char QuiverModuleStamp[] = QUIVER_MODULE_STAMP;

CPublishRoot* QuiverOpenServerRoot(const RemoteAddress* address) {
  if (address->scheme == RemoteAddress::Scheme::Sftp) return new CSftpRoot(*address);
  return new CDavRoot(*address);
}
