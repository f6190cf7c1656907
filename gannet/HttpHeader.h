#pragma once
// The header block of an HTTP answer, taken apart. Parsing never fails: a
// block that does not start with "HTTP" is no answer and leaves status 0
// and the content type " HTTP error/status message\n"; a field that is
// missing or malformed keeps its empty value (-1 for the length).

#include <cstdint>
#include <string>
#include <string_view>

namespace gannet {

class CHttpHeader {
 public:
  // Takes block (status line and header lines up to the empty line) apart;
  // every field below is set afresh.
  void Parse(std::string_view block);
  // Forgets the status of the last answer, as before a new exchange.
  void ForgetStatus();
  // Whether the answer is a redirect status with a Location to follow.
  bool IsRedirect() const;
  // Whether the body comes without a content coding (none, or "identity").
  bool IsIdentity() const;
  // The Content-Range "bytes first-last/total"; false for any other form.
  bool ContentRange(int64_t* first, int64_t* last, int64_t* total) const;

  int32_t statusCode = 0;   // the number after the status line's first blank, saturated
  std::string statusLine;   // up to the first LF, at most 255 bytes
  // The Content-Type header's text as it stands after the colon, blanks and
  // CR included; "text/html" when there is none.
  std::string contentType;
  int64_t contentLength = -1;  // -1 unless a plain decimal number
  bool chunked = false;        // Transfer-Encoding names "chunked"
  std::string location;
  std::string contentEncoding;
  std::string contentRange;
  std::string etag;
  std::string lastModified;
};

}  // namespace gannet
