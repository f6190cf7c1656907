#pragma once
// What the web access library trusts, so that uploads trust the same: the
// PEM bundle named by `cafile` in section "network" of w3skua.ini
// (${XDG_CONFIG_HOME:-$HOME/.config}/w3skua.ini, else /etc/w3skua.ini;
// section and key found without regard to case), besides the system's trust
// store with SSL_CERT_FILE and SSL_CERT_DIR honoured.

#include <string>

// The `cafile` setting; empty when none is set.
std::string WebCaFile();
