#pragma once
// Where a user's settings and data live, by the XDG rule, and where a
// settings file is looked for. The environment is read afresh on every call
// (GLib's g_get_user_config_dir() keeps the first answer for the life of the
// process and takes a relative XDG_CONFIG_HOME, so it serves neither).

#include <string>

namespace ini {

// ${variable:-$HOME/underHome} where the variable counts only when it holds
// an absolute path (the XDG rule), without a trailing "/". With neither set,
// "/underHome", as the shell would expand it.
std::string UserFolder(const char* variable, const char* underHome);

// ${XDG_CONFIG_HOME:-$HOME/.config}/name when that is a regular file, else
// /etc/name (which may not exist either).
std::string FindSettingsFile(const std::string& name);

}  // namespace ini
