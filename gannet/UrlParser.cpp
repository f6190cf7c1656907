#include "UrlParser.h"

#include <cctype>

namespace gannet {

namespace {

// Drops a "+" that ends the port of a URL with a scheme, and a "." that ends
// the host name, then lower-cases from the first "@" on.
std::string NormalizeHost(std::string host, bool hasScheme) {
  size_t colon = host.find(':');
  if (hasScheme && colon != std::string::npos && host.back() == '+') host.pop_back();
  colon = host.find(':');
  const size_t last = colon == std::string::npos ? host.size() : colon;
  if (host.size() > 3 && last > 0 && host[last - 1] == '.') host.erase(last - 1, 1);
  const size_t at = host.find('@');
  for (size_t i = at == std::string::npos ? 0 : at; i < host.size(); ++i) {
    host[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(host[i])));
  }
  return host;
}

int32_t LeadingDecimal(const std::string& text) {
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) return INT32_MAX;
  }
  return static_cast<int32_t>(value);
}

}  // namespace

int ScanUrl(const std::string& text, UrlParts* parts) {
  *parts = UrlParts();
  if (text.empty()) return -1;
  size_t rest = 0;
  const size_t stop = text.find_first_of("/#");
  const size_t end = stop == std::string::npos ? text.size() : stop;
  for (size_t i = 0; i < end; ++i) {
    if (text[i] != ':') continue;
    if (!parts->scheme) parts->scheme = text.substr(0, i);
    rest = i + 1;
  }
  if (text.compare(rest, 2, "//") == 0) {
    const size_t hostStart = rest + 2;
    const size_t slash = text.find('/', hostStart);
    parts->host = text.substr(hostStart, slash == std::string::npos ? slash : slash - hostStart);
    if (slash != std::string::npos) parts->absolutePath = text.substr(slash + 1);
  } else if (text.compare(rest, 1, "/") == 0) {
    parts->absolutePath = text.substr(rest + 1);
  } else if (rest < text.size()) {
    parts->relativePath = text.substr(rest);
  }
  return 0;
}

std::optional<std::string> ParseUrl(const std::string& url, const std::string& related,
                                    int flags) {
  if (url.empty() && related.empty()) return std::nullopt;
  UrlParts parts;
  ScanUrl(url, &parts);
  const bool punctuation = (flags & kParsePunctuation) != 0;
  std::string result;
  if ((flags & kParseHost) && parts.host) {
    if (punctuation) result += "//";
    result += NormalizeHost(*parts.host, parts.scheme.has_value());
  }
  if (flags & kParsePath) {
    if (parts.absolutePath) {
      if (punctuation) result += "/";
      result += *parts.absolutePath;
    } else if (parts.relativePath) {
      result += *parts.relativePath;
    } else {
      result += "/";
    }
  }
  return result;
}

HostPort SplitHostPort(const std::string& hostPart) {
  HostPort hp;
  size_t colon = hostPart.find(':');
  const size_t close = hostPart.find(']');
  if (!hostPart.empty() && hostPart[0] == '[' && close != std::string::npos) {
    hp.name = hostPart.substr(1, close - 1);
    colon = hostPart.compare(close + 1, 1, ":") == 0 ? close + 1 : std::string::npos;
  } else {
    hp.name = hostPart.substr(0, colon);
  }
  if (colon != std::string::npos) {
    const std::string digits = hostPart.substr(colon + 1);
    hp.named = !digits.empty() && digits[0] >= '0' && digits[0] <= '9';
    hp.port = LeadingDecimal(digits);
  }
  return hp;
}

}  // namespace gannet
