#include "remote/PublishRoot.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <random>

#include "platform/ProgramModule.h"
#include "platform/SystemError.h"
#include "remote/LocalRoot.h"
#include "remote/ServerRootModule.h"

bool CPublishRoot::CreateFirstFree(const NameSequence& names, unsigned& index,
                                   const std::function<bool(const std::string&)>& create) {
  for (;; ++index) {
    const std::string name = names(index);
    if (name.empty()) {
      return Fail(ERROR_TOO_MANY_OPEN_FILES,
                  "Every name for " + names(0) + " is taken in " + Display() + ".");
    }
    if (create(name)) return true;
    if (Code() != ERROR_FILE_EXISTS) return false;
  }
}

std::string CPublishRoot::RandomToken(size_t digits) {
  std::random_device device;
  std::string token;
  while (token.size() < digits) {
    char part[16];
    std::snprintf(part, sizeof part, "%08x", device());
    token += part;
  }
  return token.substr(0, digits);
}

bool CPublishRoot::IsServer(const std::string& fileRoot) {
  for (const char* prefix : {"dav://", "davs://", "sftp://"}) {
    if (strncasecmp(fileRoot.c_str(), prefix, std::strlen(prefix)) == 0) return true;
  }
  return false;
}

std::unique_ptr<CPublishRoot> CPublishRoot::Open(const std::string& fileRoot, std::string& error) {
  if (!IsServer(fileRoot)) return std::make_unique<CLocalRoot>(fileRoot);
  CProgramModule module(CProgramModule::PathOf(kServerRootModule));
  auto* open = module.Entry<decltype(QuiverOpenServerRoot)>(kOpenServerRootEntry);
  if (!open) {
    error = module.Error();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  std::unique_ptr<CPublishRoot> root(open(fileRoot, error));
  if (!root) SetLastError(ERROR_BAD_PATHNAME);
  return root;
}
