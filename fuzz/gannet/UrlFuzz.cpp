// libFuzzer target for the web library's URL handling: any text is scanned,
// parsed for host and path, split into host and port, and made into a
// request. Whatever the URL holds, the request keeps its own line structure:
// exactly the four CR LF pairs it is built with and no other CR or LF.

#include "HttpRequest.h"
#include "UrlParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <strings.h>

using namespace gannet;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  UrlParts parts;
  if (ScanUrl(text, &parts) != (text.empty() ? -1 : 0)) std::abort();
  const std::string host = ParseUrl(text, "", kParseHost).value_or("");
  const HostPort split = SplitHostPort(host);
  if (split.port < 0) std::abort();
  const std::string path = ParseUrl(text, "", kParsePath | kParsePunctuation).value_or("/");
  ParseUrl(text, "", kParseHost | kParsePath | kParsePunctuation);
  ParseUrl(text, "", kParsePath);
  ParseUrl("", text, kParseHost | kParsePath);

  const std::string request = CHttpRequest::Get(path, host);
  if (std::count(request.begin(), request.end(), '\n') != 5 ||
      std::count(request.begin(), request.end(), '\r') != 5 ||
      request.find("\r\n\r\n") != request.size() - 4) {
    std::abort();
  }
  // A Location resolves to an http or https URL or to nothing; schemes are
  // case-insensitive, so "HTTP://h/" is one.
  const std::optional<std::string> next = ResolveReference("https://h.example/a/b?q", text);
  if (next && strncasecmp(next->c_str(), "http", 4) != 0) std::abort();
  const RequestTarget target = TargetOf(text);
  if (target.hostHeader.find('@') != std::string::npos) std::abort();
  return 0;
}
