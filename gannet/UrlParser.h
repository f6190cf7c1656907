#pragma once
// Splitting of URLs into the parts the HTTP driver needs: the host (with its
// port) and the request path. No percent-decoding and no dot-segment removal
// is done; query and fragment stay in the path.

#include <cstdint>
#include <optional>
#include <string>

namespace gannet {

// ParseUrl flags, combined by OR.
constexpr int kParseHost = 8;         // host and port
constexpr int kParsePath = 4;         // path
constexpr int kParsePunctuation = 1;  // "//" before a host, "/" before an absolute path

struct UrlParts {
  std::optional<std::string> scheme;
  std::optional<std::string> host;
  std::optional<std::string> absolutePath;
  std::optional<std::string> relativePath;
};

// Fills *parts from text. The scheme is the text before the first ":" met
// before the first "/" or "#"; the rest starts after the last such ":". A
// rest beginning with "//" holds a host up to the next "/", then the absolute
// path; a single "/" starts an absolute path; anything else is a relative
// path. Returns 0, or -1 with no parts for an empty text.
int ScanUrl(const std::string& text, UrlParts* parts);

// The parts of url selected by flags, built as described for the flags
// (related names another URL the parts could be taken from; this library
// always passes ""). The host comes in lower case from its first "@" on, a
// "." that ends the host name is dropped, and a path is "/" when the URL has
// none. Nullopt when both URLs are empty.
std::optional<std::string> ParseUrl(const std::string& url, const std::string& related,
                                    int flags);

struct HostPort {
  std::string name;   // the host to look up
  int32_t port = 80;  // 0 when a ":" is followed by no digits
  bool named = false; // a ":" with at least one digit after it names the port
};

// Splits a host part at its first ":" into name and port (the value of the
// leading decimal digits after it; 80 without a colon). A bracketed IPv6
// literal ("[::1]:8080") is split after its closing "]". A port above
// 65535 is kept as given and refused by the connect.
HostPort SplitHostPort(const std::string& hostPart);

}  // namespace gannet

namespace gannet {

// The parts of an http or https URL that a request needs.
struct RequestTarget {
  bool https = false;
  std::string userinfo;    // "" when the URL names no user
  HostPort host;           // port 443 for https unless named
  std::string hostHeader;  // lower-case host, bracketed for IPv6, ":port" when named
  std::string path;        // "/" when the URL has none
  std::string withoutUserinfo;  // the URL as a proxy is to see it
};

// Splits url ("http:" or "https:" followed by "//host...") into a target;
// the user information before the host's last "@" is taken out.
RequestTarget TargetOf(const std::string& url);

// Resolves reference (a Location value) against base as RFC 3986, 5.2
// says, dot segments removed, fragment dropped. Nullopt when the result is
// not an http or https URL.
std::optional<std::string> ResolveReference(const std::string& base, const std::string& reference);

}  // namespace gannet
