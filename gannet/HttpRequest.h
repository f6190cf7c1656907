#pragma once
// The requests the driver sends, byte for byte. Building never fails; bytes
// outside the printable range in a target or host travel as "%XX", so that
// no text given can break the request line or start a header line.

#include "UrlParser.h"

#include <cstdint>
#include <string>

namespace gannet {

class CHttpRequest {
 public:
  // The GET for target with a Host header for hostHeader and, when
  // credentials ("user:password") are given, Basic authorization.
  // extraHeaders (complete lines) are added as they stand.
  static std::string Get(const std::string& target, const std::string& hostHeader,
                         const std::string& credentials = "",
                         const std::string& extraHeaders = "");
  // The CONNECT that asks a proxy for a tunnel to host's port.
  static std::string Connect(const HostPort& host);
  // Whether credentials may travel in a request to target. TLS carries a
  // password end to end, through a tunnel as well; cleartext goes only
  // straight to this machine, since a proxy (proxied: the request goes
  // through one) would read it on the way.
  static bool MayCarry(const std::string& credentials, const RequestTarget& target,
                       bool proxied);
};

}  // namespace gannet
