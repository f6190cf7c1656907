#pragma once
// The one door into the module that holds the roots on servers: WebDAV over
// libcurl, SFTP over libssh2, passwords from the Secret Service through
// libsecret (platform/ProgramModule.h). CPublishRoot::Open loads it for a
// "dav://", "davs://" or "sftp://" FileRoot only, so that no other run maps
// those libraries. The module parses the root itself (remote/RemoteAddress.h).

#include <string>

#include "remote/PublishRoot.h"

inline constexpr const char* kServerRootModule = "quiver-remote.so";
inline constexpr const char* kOpenServerRootEntry = "QuiverOpenServerRoot";

// A new root for the server root `fileRoot`, not yet connected, that the
// caller owns. Null, with a sentence naming what is wrong in `error`, when
// `fileRoot` is not a well-formed server root.
extern "C" CPublishRoot* QuiverOpenServerRoot(const std::string& fileRoot, std::string& error);
