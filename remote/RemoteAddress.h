#pragma once
// A remote FileRoot taken apart: "dav://", "davs://" or "sftp://", an
// optional user ("user@"), a host (a name, an IPv4 address, or an IPv6
// address in brackets), an optional port and a path that ends in "/".
// Percent-escapes in the user and the path are decoded. A password in the
// root is refused: it would be stored in the settings file in clear.
// Parsed and written by libcurl's URL API, so it belongs to the module
// quiver-remote.so (remote/ServerRootModule.h); the core tells a server
// root by its prefix alone (CPublishRoot::IsServer).

#include <string>

struct RemoteAddress {
  enum class Scheme { Dav, Davs, Sftp };

  Scheme scheme = Scheme::Dav;
  std::string user;  // empty when the root names none
  std::string host;  // without brackets
  int port = 0;      // the scheme's default when the root names none
  std::string path;  // decoded, absolute, ending in "/"

  // Takes `fileRoot` apart; false, with a sentence naming what is wrong in
  // `error`, when it is not a well-formed remote root.
  static bool Parse(const std::string& fileRoot, RemoteAddress& out, std::string& error);

  // True for 127.0.0.1 (and all of 127/8), ::1 and "localhost".
  bool IsLoopback() const;
  // The root as a URL that Parse takes back: scheme, user, host, port when
  // not the default, path; the user and the path percent-encoded.
  std::string Display() const;
  // The http or https URL of the file `name` in the directory (WebDAV),
  // with the path and the name percent-encoded.
  std::string HttpUrl(const std::string& name) const;
};
