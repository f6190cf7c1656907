#include "HttpHeader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <strings.h>

namespace gannet {

namespace {

constexpr size_t kStatusTextMax = 255;
constexpr size_t kMaxDigits = 18;

// The value of the first header line called name (without regard to case),
// blanks around it removed; nullopt when there is none. The status line is
// not a header line.
std::optional<std::string_view> HeaderValue(std::string_view header, std::string_view name) {
  size_t start = header.find('\n');
  while (start != std::string_view::npos && start + 1 < header.size()) {
    ++start;
    size_t end = header.find('\n', start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(start, end - start);
    start = end;
    if (line.size() <= name.size() || line[name.size()] != ':' ||
        strncasecmp(line.data(), name.data(), name.size()) != 0) {
      continue;
    }
    std::string_view value = line.substr(name.size() + 1);
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) return std::string_view();
    const size_t last = value.find_last_not_of(" \t\r");
    return value.substr(first, last - first + 1);
  }
  return std::nullopt;
}

std::string Text(std::string_view header, std::string_view name) {
  return std::string(HeaderValue(header, name).value_or(""));
}

// Digits alone, few enough for an int64_t; -1 for anything else.
int64_t PlainNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > kMaxDigits ||
      digits.find_first_not_of("0123456789") != std::string_view::npos) {
    return -1;
  }
  return std::strtoll(std::string(digits).c_str(), nullptr, 10);
}

// The number after the first blank, read as atoi reads it, saturated.
int32_t StatusCode(std::string_view line) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return 0;
  size_t i = line.find_first_not_of(" \t", blank);
  if (i == std::string_view::npos) return 0;
  const bool negative = line[i] == '-';
  if (line[i] == '-' || line[i] == '+') ++i;
  int64_t value = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (line[i] - '0'), INT32_MAX);
  }
  return static_cast<int32_t>(negative ? -value : value);
}

// The label is matched in its two usual spellings only, and the value kept
// as it stands: the content-type table is written for exactly that text.
std::string ContentType(std::string_view header) {
  size_t label = header.find("Content-type:");
  if (label == std::string_view::npos) label = header.find("Content-Type:");
  if (label == std::string_view::npos) return "text/html";
  const size_t start = label + 13;
  return std::string(header.substr(start, header.find('\n', start) - start));
}

}  // namespace

void CHttpHeader::Parse(std::string_view block) {
  *this = CHttpHeader();
  if (block.substr(0, 4) != "HTTP") {
    contentType = " HTTP error/status message\n";
    return;
  }
  const std::string_view line = block.substr(0, block.find('\n'));
  statusCode = StatusCode(line);
  statusLine = std::string(line.substr(0, kStatusTextMax));
  contentType = ContentType(block);
  contentLength = PlainNumber(HeaderValue(block, "Content-Length").value_or(""));
  chunked = strcasestr(Text(block, "Transfer-Encoding").c_str(), "chunked") != nullptr;
  location = Text(block, "Location");
  contentEncoding = Text(block, "Content-Encoding");
  contentRange = Text(block, "Content-Range");
  etag = Text(block, "ETag");
  lastModified = Text(block, "Last-Modified");
}

void CHttpHeader::ForgetStatus() {
  statusCode = 0;
  statusLine.clear();
}

bool CHttpHeader::IsRedirect() const {
  const bool redirect = statusCode == 301 || statusCode == 302 || statusCode == 303 ||
                        statusCode == 307 || statusCode == 308;
  return redirect && !location.empty();
}

bool CHttpHeader::IsIdentity() const {
  return contentEncoding.empty() || strcasecmp(contentEncoding.c_str(), "identity") == 0;
}

bool CHttpHeader::ContentRange(int64_t* first, int64_t* last, int64_t* total) const {
  constexpr std::string_view kUnit = "bytes ";
  std::string_view value = contentRange;
  if (value.substr(0, kUnit.size()) != kUnit) return false;
  value.remove_prefix(kUnit.size());
  const size_t dash = value.find('-');
  const size_t slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || slash < dash) {
    return false;
  }
  *first = PlainNumber(value.substr(0, dash));
  *last = PlainNumber(value.substr(dash + 1, slash - dash - 1));
  *total = PlainNumber(value.substr(slash + 1));
  return *first >= 0 && *last >= 0 && *total >= 0;
}

}  // namespace gannet
