#pragma once
// Which redirects a transfer follows, and where its credentials go. It
// follows 301, 302, 303, 307 and 308 with a Location, at most kMaxRedirects
// of them, and refuses a chain that comes back to a URL it has visited, a
// Location that does not resolve, and a step from https to http.
// Credentials come from the first URL's userinfo; a hop whose URL names
// its own replaces them, a hop to another scheme or host drops them.

#include "HttpHeader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace gannet {

class CRedirectPolicy {
 public:
  static constexpr int kMaxRedirects = 10;

  enum class Step { kFinal, kFollow, kRefused };

  // Starts a chain at url.
  explicit CRedirectPolicy(const std::string& url);

  // The URL to ask now, and the credentials ("user:password", "" for none)
  // to send there.
  const std::string& Url() const { return m_url; }
  const std::string& Credentials() const { return m_credentials; }
  // Judges the answer to Url(): kFinal when it is no redirect to follow;
  // kFollow when it is, with Url() and Credentials() moved to the next hop;
  // kRefused with Refusal() holding the error (kErrRedirectFailed or
  // kErrInsecureRedirect).
  Step Judge(const CHttpHeader& answer);
  int32_t Refusal() const { return m_refusal; }

 private:
  Step Refuse(int32_t error);
  void MoveTo(const std::string& next);

  std::string m_url;
  std::string m_credentials;
  std::vector<std::string> m_visited;
  int32_t m_refusal = 0;
};

}  // namespace gannet
