#include "remote/RemoteAddress.h"

#include <arpa/inet.h>

#include <cctype>
#include <cstdlib>

namespace {

struct SchemeInfo {
  const char* prefix;
  RemoteAddress::Scheme scheme;
  int defaultPort;
};

constexpr SchemeInfo kSchemes[] = {
    {"dav://", RemoteAddress::Scheme::Dav, 80},
    {"davs://", RemoteAddress::Scheme::Davs, 443},
    {"sftp://", RemoteAddress::Scheme::Sftp, 22},
};

const SchemeInfo* FindScheme(const std::string& root) {
  for (const SchemeInfo& info : kSchemes) {
    const std::string prefix = info.prefix;
    if (root.size() < prefix.size()) continue;
    bool same = true;
    for (size_t i = 0; i < prefix.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(root[i])) == prefix[i];
    }
    if (same) return &info;
  }
  return nullptr;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

// Decodes %XX escapes; false for a broken escape or an escaped NUL or "/".
bool Decode(const std::string& text, std::string& out, bool slashAllowed) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) return false;
    const char c = static_cast<char>(high * 16 + low);
    if (c == '\0' || (c == '/' && !slashAllowed)) return false;
    out += c;
    i += 2;
  }
  return true;
}

bool HasControl(const std::string& text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7f) return true;
  }
  return false;
}

// Every byte but unreserved ones and "/" becomes %XX (RFC 3986).
std::string Encode(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

bool ParsePort(const std::string& text, int& port) {
  if (text.empty() || text.size() > 5) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  port = std::atoi(text.c_str());
  return port > 0 && port < 65536;
}

// "host", "host:port", "[v6]" or "[v6]:port".
bool ParseHostPort(const std::string& text, RemoteAddress& out) {
  std::string portText;
  if (!text.empty() && text[0] == '[') {
    const size_t close = text.find(']');
    if (close == std::string::npos) return false;
    out.host = text.substr(1, close - 1);
    in6_addr v6;
    if (inet_pton(AF_INET6, out.host.c_str(), &v6) != 1) return false;
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      portText = text.substr(close + 2);
      if (!ParsePort(portText, out.port)) return false;
    }
    return true;
  }
  const size_t colon = text.find(':');
  out.host = text.substr(0, colon);
  if (colon != std::string::npos && !ParsePort(text.substr(colon + 1), out.port)) return false;
  if (out.host.empty()) return false;
  for (unsigned char c : out.host) {
    if (!std::isalnum(c) && c != '-' && c != '.' && c != '_') return false;
  }
  return true;
}

}  // namespace

bool RemoteAddress::Parse(const std::string& fileRoot, RemoteAddress& out, std::string& error) {
  const SchemeInfo* info = FindScheme(fileRoot);
  if (!info) {
    error = fileRoot +
            " is not a remote FileRoot: it must begin with dav://, "
            "davs:// or sftp://.";
    return false;
  }
  out = RemoteAddress();
  out.scheme = info->scheme;
  out.port = info->defaultPort;
  const std::string rest = fileRoot.substr(std::string(info->prefix).size());
  const size_t slash = rest.find('/');
  const std::string authority = rest.substr(0, slash);
  const std::string rawPath = slash == std::string::npos ? "/" : rest.substr(slash);
  const auto bad = [&](const std::string& why) {
    error = "FileRoot " + fileRoot + " " + why;
    return false;
  };
  if (HasControl(fileRoot)) return bad("holds a control character.");
  if (rawPath.find_first_of("?#") != std::string::npos) {
    return bad("holds a query or a fragment; a FileRoot names a directory.");
  }
  const size_t at = authority.rfind('@');
  if (at != std::string::npos) {
    const std::string userInfo = authority.substr(0, at);
    if (userInfo.find(':') != std::string::npos) {
      return bad(
          "holds a password; put it into ~/.netrc (WebDAV) or use a key "
          "(SFTP) instead.");
    }
    if (userInfo.empty() || !Decode(userInfo, out.user, false)) return bad("has a bad user name.");
  }
  if (!ParseHostPort(authority.substr(at == std::string::npos ? 0 : at + 1), out)) {
    return bad("has a bad host or port.");
  }
  if (!Decode(rawPath, out.path, true)) return bad("has a bad escape (%) in its path.");
  if (out.path.back() != '/') out.path += '/';
  for (size_t start = 0; start < out.path.size();) {
    const size_t end = out.path.find('/', start);
    const std::string segment = out.path.substr(start, end - start);
    if (segment == "." || segment == "..") return bad("holds \".\" or \"..\" in its path.");
    start = end + 1;
  }
  return true;
}

bool RemoteAddress::IsLoopback() const {
  in_addr v4;
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  return host == "::1" || host == "localhost";
}

std::string RemoteAddress::Display() const {
  int defaultPort = 0;
  std::string text;
  for (const SchemeInfo& info : kSchemes) {
    if (info.scheme == scheme) {
      text = info.prefix;
      defaultPort = info.defaultPort;
    }
  }
  if (!user.empty()) text += user + "@";
  text += host.find(':') != std::string::npos ? "[" + host + "]" : host;
  if (port != defaultPort) text += ":" + std::to_string(port);
  return text + path;
}

std::string RemoteAddress::HttpUrl(const std::string& name) const {
  const std::string hostPart = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return std::string(scheme == Scheme::Davs ? "https://" : "http://") + hostPart + ":" +
         std::to_string(port) + Encode(path + name);
}
