#include "remote/RemoteAddress.h"

#include <arpa/inet.h>
#include <curl/curl.h>

#include <cctype>
#include <memory>

#include "remote/PublishRoot.h"

namespace {

struct SchemeInfo {
  const char* name;
  RemoteAddress::Scheme scheme;
  int defaultPort;
};

constexpr SchemeInfo kSchemes[] = {
    {"dav", RemoteAddress::Scheme::Dav, 80},
    {"davs", RemoteAddress::Scheme::Davs, 443},
    {"sftp", RemoteAddress::Scheme::Sftp, 22},
};

const SchemeInfo& InfoOf(RemoteAddress::Scheme scheme) {
  for (const SchemeInfo& info : kSchemes) {
    if (info.scheme == scheme) return info;
  }
  return kSchemes[0];
}

struct UrlFree {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using Url = std::unique_ptr<CURLU, UrlFree>;

// The part `part` of `url` as `flags` ask; false when the URL has none or
// it cannot be given so (an escaped control character to decode).
bool Get(const Url& url, CURLUPart part, unsigned flags, std::string& out) {
  char* text = nullptr;
  if (curl_url_get(url.get(), part, &text, flags) != CURLUE_OK) return false;
  out = text;
  curl_free(text);
  return true;
}

// The part `part` of `url` percent-decoded into `out`; false when it holds
// an escaped control character or a "%" without two hexadecimal digits,
// which libcurl would leave as it is.
bool GetDecoded(const Url& url, CURLUPart part, std::string& out) {
  std::string raw;
  if (!Get(url, part, 0, raw)) return false;
  for (size_t i = raw.find('%'); i != std::string::npos; i = raw.find('%', i + 1)) {
    if (i + 2 >= raw.size() || !std::isxdigit(static_cast<unsigned char>(raw[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
      return false;
    }
  }
  return Get(url, part, CURLU_URLDECODE, out);
}

// The scheme, host and port of `fileRoot`, parsed into `url`; false for a
// missing host, an IPv6 zone or port 0.
bool GetServer(const Url& url, const std::string& fileRoot, RemoteAddress& out) {
  std::string text;
  Get(url, CURLUPART_SCHEME, 0, text);
  for (const SchemeInfo& info : kSchemes) {
    if (text == info.name) out.scheme = info.scheme;
  }
  out.port = Get(url, CURLUPART_PORT, 0, text) ? std::stoi(text) : InfoOf(out.scheme).defaultPort;
  // libcurl takes "dav:///pub/" for the host "pub".
  if (fileRoot[fileRoot.find("://") + 3] == '/' || out.port == 0 ||
      Get(url, CURLUPART_ZONEID, 0, text) || !Get(url, CURLUPART_HOST, 0, out.host) ||
      out.host.empty()) {
    return false;
  }
  if (out.host.front() == '[') out.host = out.host.substr(1, out.host.size() - 2);
  return true;
}

bool HasDotSegment(const std::string& path) {
  for (size_t start = 0; start < path.size();) {
    const size_t end = path.find('/', start);
    const std::string segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return true;
    start = end == std::string::npos ? end : end + 1;
  }
  return false;
}

// The URL of `scheme` to `address`'s host with `user`, `port` (0: none) and
// `path` percent-encoded. Escapes are written in upper case, as RFC 3986
// prefers, whichever case this libcurl writes.
std::string Compose(const RemoteAddress& address, const char* scheme, const std::string& user,
                    int port, const std::string& path) {
  const Url url(curl_url());
  const bool v6 = address.host.find(':') != std::string::npos;
  const std::string host = v6 ? "[" + address.host + "]" : address.host;
  curl_url_set(url.get(), CURLUPART_SCHEME, scheme, CURLU_NON_SUPPORT_SCHEME);
  if (!user.empty()) curl_url_set(url.get(), CURLUPART_USER, user.c_str(), CURLU_URLENCODE);
  curl_url_set(url.get(), CURLUPART_HOST, host.c_str(), 0);
  if (port) curl_url_set(url.get(), CURLUPART_PORT, std::to_string(port).c_str(), 0);
  curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), CURLU_URLENCODE);
  std::string text;
  Get(url, CURLUPART_URL, 0, text);
  for (size_t i = text.find('%'); i != std::string::npos && i + 2 < text.size();
       i = text.find('%', i + 1)) {
    text[i + 1] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])));
    text[i + 2] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 2])));
  }
  return text;
}

}  // namespace

bool RemoteAddress::Parse(const std::string& fileRoot, RemoteAddress& out, std::string& error) {
  if (!CPublishRoot::IsServer(fileRoot)) {
    error = fileRoot +
            " is not a remote FileRoot: it must begin with dav://, "
            "davs:// or sftp://.";
    return false;
  }
  const auto bad = [&](const std::string& why) {
    error = "FileRoot " + fileRoot + " " + why;
    return false;
  };
  const Url url(curl_url());
  const CURLUcode code =
      curl_url_set(url.get(), CURLUPART_URL, fileRoot.c_str(),
                   CURLU_NON_SUPPORT_SCHEME | CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE);
  if (code != CURLUE_OK) return bad(std::string("is malformed: ") + curl_url_strerror(code) + ".");
  std::string text;
  if (Get(url, CURLUPART_PASSWORD, 0, text)) {
    return bad(
        "holds a password; put it into ~/.netrc (WebDAV) or use a key "
        "(SFTP) instead.");
  }
  if (Get(url, CURLUPART_QUERY, 0, text) || Get(url, CURLUPART_FRAGMENT, 0, text)) {
    return bad("holds a query or a fragment; a FileRoot names a directory.");
  }
  out = RemoteAddress();
  if (!GetServer(url, fileRoot, out)) return bad("has a bad host or port.");
  if (Get(url, CURLUPART_USER, 0, text) &&
      (!GetDecoded(url, CURLUPART_USER, out.user) || out.user.empty() ||
       out.user.find('/') != std::string::npos)) {
    return bad("has a bad user name.");
  }
  if (!GetDecoded(url, CURLUPART_PATH, out.path)) return bad("has a bad escape (%) in its path.");
  if (out.path.empty() || out.path.back() != '/') out.path += '/';
  if (HasDotSegment(out.path)) return bad("holds \".\" or \"..\" in its path.");
  return true;
}

bool RemoteAddress::IsLoopback() const {
  in_addr v4;
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) return (ntohl(v4.s_addr) >> 24) == 127;
  return host == "::1" || host == "localhost";
}

std::string RemoteAddress::Display() const {
  const SchemeInfo& info = InfoOf(scheme);
  return Compose(*this, info.name, user, port == info.defaultPort ? 0 : port, path);
}

std::string RemoteAddress::HttpUrl(const std::string& name) const {
  return Compose(*this, scheme == Scheme::Davs ? "https" : "http", "", port, path + name);
}
