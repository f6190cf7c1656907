#pragma once
// The one door into the module that holds the roots on servers: WebDAV over
// libcurl, SFTP over libssh2, passwords from the Secret Service through
// libsecret (platform/ProgramModule.h). CPublishRoot::Open loads it for a
// "dav://", "davs://" or "sftp://" FileRoot only, so that no other run maps
// those libraries.

#include "remote/PublishRoot.h"
#include "remote/RemoteAddress.h"

inline constexpr const char* kServerRootModule = "quiver-remote.so";
inline constexpr const char* kOpenServerRootEntry = "QuiverOpenServerRoot";

// A new root for `address`, not yet connected, that the caller owns.
extern "C" CPublishRoot* QuiverOpenServerRoot(const RemoteAddress* address);
