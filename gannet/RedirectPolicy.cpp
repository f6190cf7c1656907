#include "RedirectPolicy.h"

#include "UrlParser.h"
#include "WinsockErrors.h"

#include <algorithm>
#include <optional>

namespace gannet {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecoded(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
        HexDigit(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2])));
      i += 2;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

}  // namespace

CRedirectPolicy::CRedirectPolicy(const std::string& url)
    : m_url(url), m_credentials(PercentDecoded(TargetOf(url).userinfo)) {}

CRedirectPolicy::Step CRedirectPolicy::Judge(const CHttpHeader& answer) {
  if (!answer.IsRedirect()) return Step::kFinal;
  if (m_visited.size() >= static_cast<size_t>(kMaxRedirects)) {
    return Refuse(kErrRedirectFailed);
  }
  m_visited.push_back(m_url);
  const std::optional<std::string> next = ResolveReference(m_url, answer.location);
  if (!next || std::find(m_visited.begin(), m_visited.end(), *next) != m_visited.end()) {
    return Refuse(kErrRedirectFailed);
  }
  if (TargetOf(m_url).https && !TargetOf(*next).https) return Refuse(kErrInsecureRedirect);
  MoveTo(*next);
  return Step::kFollow;
}

CRedirectPolicy::Step CRedirectPolicy::Refuse(int32_t error) {
  m_refusal = error;
  return Step::kRefused;
}

void CRedirectPolicy::MoveTo(const std::string& next) {
  // Credentials go only where they were given.
  const RequestTarget from = TargetOf(m_url);
  const RequestTarget to = TargetOf(next);
  if (!to.userinfo.empty()) {
    m_credentials = PercentDecoded(to.userinfo);
  } else if (to.https != from.https || to.hostHeader != from.hostHeader) {
    m_credentials.clear();
  }
  m_url = next;
}

}  // namespace gannet
