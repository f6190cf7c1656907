#include "UrlParser.h"

#include <algorithm>
#include <cctype>
#include <strings.h>

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

namespace {

// RFC 3986, 5.2.4.
std::string RemoveDotSegments(std::string in) {
  std::string out;
  while (!in.empty()) {
    if (in.rfind("../", 0) == 0) {
      in.erase(0, 3);
    } else if (in.rfind("./", 0) == 0) {
      in.erase(0, 2);
    } else if (in.rfind("/./", 0) == 0) {
      in.erase(0, 2);
    } else if (in == "/.") {
      in = "/";
    } else if (in.rfind("/../", 0) == 0 || in == "/..") {
      in = in.size() == 3 ? "/" : in.substr(3);
      const size_t slash = out.rfind('/');
      out.erase(slash == std::string::npos ? 0 : slash);
    } else if (in == "." || in == "..") {
      in.clear();
    } else {
      const size_t next = in.find('/', 1);
      out += in.substr(0, next);
      in.erase(0, next == std::string::npos ? in.size() : next);
    }
  }
  return out;
}

// The scheme of an absolute reference in lower case; "" when there is none.
std::string SchemeOf(const std::string& reference) {
  if (reference.empty() || !std::isalpha(static_cast<unsigned char>(reference[0]))) return "";
  for (size_t i = 1; i < reference.size(); ++i) {
    const auto c = static_cast<unsigned char>(reference[i]);
    if (c == ':') {
      std::string scheme = reference.substr(0, i);
      for (char& ch : scheme) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
      return scheme;
    }
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return "";
  }
  return "";
}

}  // namespace

RequestTarget TargetOf(const std::string& url) {
  RequestTarget t;
  t.https = strncasecmp(url.c_str(), "https:", 6) == 0;
  std::string hostPart = ParseUrl(url, "", kParseHost).value_or("");
  t.withoutUserinfo = url;
  const size_t at = hostPart.rfind('@');
  if (at != std::string::npos) {
    t.userinfo = hostPart.substr(0, at);
    hostPart.erase(0, at + 1);
    const size_t start = url.find("//");
    if (start != std::string::npos) {
      const size_t hostEnd = std::min(url.find('/', start + 2), url.size());
      const size_t userEnd = url.rfind('@', hostEnd - 1);
      if (userEnd != std::string::npos && userEnd > start) {
        t.withoutUserinfo = url.substr(0, start + 2) + url.substr(userEnd + 1);
      }
    }
  }
  t.host = SplitHostPort(hostPart);
  if (t.https && !t.host.named) t.host.port = 443;
  t.hostHeader = t.host.name.find(':') == std::string::npos ? t.host.name : "[" + t.host.name + "]";
  if (t.host.named) t.hostHeader += ":" + std::to_string(t.host.port);
  t.path = ParseUrl(url, "", kParsePath | kParsePunctuation).value_or("/");
  return t;
}

std::optional<std::string> ResolveReference(const std::string& base, const std::string& reference) {
  const std::string ref = reference.substr(0, reference.find('#'));
  const std::string scheme = SchemeOf(ref);
  if (!scheme.empty()) {
    if (scheme != "http" && scheme != "https") return std::nullopt;
    return ref;
  }
  const size_t schemeEnd = base.find("://");
  if (schemeEnd == std::string::npos) return std::nullopt;
  const size_t authorityEnd = std::min(base.find_first_of("/?#", schemeEnd + 3), base.size());
  const std::string origin = base.substr(0, authorityEnd);
  const std::string rest = base.substr(authorityEnd, base.find('#', authorityEnd) - authorityEnd);
  const std::string basePath = rest.substr(0, rest.find('?'));
  if (ref.rfind("//", 0) == 0) return base.substr(0, schemeEnd + 1) + ref;
  if (ref.empty()) return origin + rest;
  if (ref[0] == '?') return origin + basePath + ref;
  const size_t query = std::min(ref.find('?'), ref.size());
  const std::string refPath = ref.substr(0, query);
  std::string merged;
  if (ref[0] == '/') {
    merged = refPath;
  } else if (basePath.empty()) {
    merged = "/" + refPath;
  } else {
    merged = basePath.substr(0, basePath.rfind('/') + 1) + refPath;
  }
  return origin + RemoveDotSegments(merged) + ref.substr(query);
}

}  // namespace gannet
