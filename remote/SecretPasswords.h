#pragma once
// WebDAV passwords kept by the desktop's Secret Service (GNOME Keyring,
// KWallet), read through libsecret with the network-password schema that
// file managers use for WebDAV: attributes "server" (the host), "protocol"
// ("dav" or "davs"), "port" and, when known, "user".
//
// Only a Secret Service already running on the session bus is asked, and
// never interactively, so a script without a desktop never waits or prompts.

#include <string>

#include "remote/Netrc.h"
#include "remote/RemoteAddress.h"

// True with the stored login for `address` (its user, when it names one);
// false when no session bus or Secret Service is there or nothing is stored.
bool FindSecretLogin(const RemoteAddress& address, NetrcLogin& login);
