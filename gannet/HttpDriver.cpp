#include "HttpDriver.h"

#include "ContentTypeTable.h"
#include "NetSocket.h"
#include "UrlParser.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gannet {

namespace {

constexpr int32_t kLastGoodStatus = 200;
constexpr size_t kStatusTextMax = 255;
constexpr size_t kMaxExtension = 7;
constexpr size_t kMaxTempPath = 252;
constexpr int32_t kReceiveAllocation = 24576;
constexpr std::string_view kTempSuffix = ".tmp";

std::string TempDirectory() {
  const char* dir = std::getenv("TMPDIR");
  struct stat st;
  if (dir && *dir && stat(dir, &st) == 0 && S_ISDIR(st.st_mode)) return dir;
  return "/tmp";
}

// Bytes outside the printable range would break the request line or start
// new header lines; they travel as "%" and two hexadecimal digits.
void AppendEscaped(std::string* out, const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x21 || c > 0x7E) {
      out->push_back('%');
      out->push_back(kHex[c >> 4]);
      out->push_back(kHex[c & 0x0F]);
    } else {
      out->push_back(ch);
    }
  }
}

// The URL's host as a Host header value, with its port when it names one.
std::string HostHeader(const std::string& url) {
  const HostPort hp = SplitHostPort(ParseUrl(url, "", kParseHost).value_or(""));
  std::string host = hp.name.find(':') == std::string::npos ? hp.name : "[" + hp.name + "]";
  if (hp.named) host += ":" + std::to_string(hp.port);
  return host;
}

bool UsableExtension(const std::string& extension) {
  return !extension.empty() && extension.size() <= kMaxExtension &&
         extension.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
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

// The value of a Content-Length header line, or -1 when there is none that
// holds a plain decimal number.
int64_t ContentLength(std::string_view header) {
  constexpr std::string_view kName = "content-length:";
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find('\n', start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view line = header.substr(start, end - start);
    start = end + 1;
    if (line.size() < kName.size() || strncasecmp(line.data(), kName.data(), kName.size()) != 0) {
      continue;
    }
    std::string_view value = line.substr(kName.size());
    const size_t first = value.find_first_not_of(" \t");
    const size_t last = value.find_last_not_of(" \t\r");
    if (first == std::string_view::npos) return -1;
    value = value.substr(first, last - first + 1);
    if (value.size() > 18 || value.find_first_not_of("0123456789") != std::string_view::npos) {
      return -1;
    }
    return std::strtoll(std::string(value).c_str(), nullptr, 10);
  }
  return -1;
}

}  // namespace

CHttpDriver::CHttpDriver(const std::string& url, const std::string& localName,
                         const std::string& proxy, CNetSocket* socket, int32_t,
                         CContentTypeTable* table)
    : m_url(url), m_localName(localName), m_proxy(proxy), m_socket(socket), m_table(table) {
  try {
    m_receive.resize(kReceiveAllocation);
  } catch (const std::bad_alloc&) {
    // Without its window the driver fails every Load.
  }
}

CHttpDriver::~CHttpDriver() { CloseOutput(); }

bool CHttpDriver::ChooseTempFile(std::string* name) {
  std::string path = TempDirectory() + "/httpXXXXXX.tmp";
  if (path.size() > kMaxTempPath) return false;
  const int fd = mkostemps(path.data(), static_cast<int>(kTempSuffix.size()), O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  unlink(path.c_str());
  *name = path;
  return true;
}

std::string CHttpDriver::BuildRequest(const std::string& target, const std::string& hostHeader) {
  std::string request = "GET ";
  AppendEscaped(&request, target);
  request += " HTTP/1.0 \r\nHost: ";
  AppendEscaped(&request, hostHeader);
  request += "\r\nAccept: */* \r\n\r\n";
  return request;
}

int32_t CHttpDriver::Load(std::string* name, int32_t* length) {
  if (!m_socket) return 0;
  bool ok = false;
  try {
    ok = Transfer();
  } catch (const std::bad_alloc&) {
    CloseOutput();
    m_socket->Close();
  }
  if (!ok) {
    m_socketError = m_socket->LastError();
    return 0;
  }
  *name = m_localName;
  *length = m_fileLength;
  return 1;
}

bool CHttpDriver::Transfer() {
  m_headerLength = m_filled = m_statusCode = m_success = m_fileLength = m_requestLength = 0;
  m_headerParsed = false;
  m_localError = 0;
  m_contentLength = -1;
  m_bodyReceived = 0;
  m_statusLine.clear();
  m_contentType.clear();
  if (m_receive.empty()) return false;

  const bool direct = m_proxy.empty();
  const HostPort peer =
      SplitHostPort(ParseUrl(direct ? m_url : m_proxy, "", kParseHost).value_or(""));
  const std::string target =
      direct ? ParseUrl(m_url, "", kParsePath | kParsePunctuation).value_or("/") : m_url;
  const std::string request = BuildRequest(target, HostHeader(m_url));
  if (request.size() > static_cast<size_t>(kWindow)) return false;
  m_requestLength = static_cast<int32_t>(request.size());

  if (m_socket->Connect(peer.name, peer.port) != 0) return false;
  if (m_socket->Send(request.data(), m_requestLength, 0) < 1 || !ReceiveAll()) {
    CloseOutput();
    m_socket->Close();
    return false;
  }
  m_socket->Close();

  bool ok = m_headerParsed && m_statusCode <= kLastGoodStatus;
  // An error page is kept in the local file as far as it arrived.
  if (m_headerParsed && m_filled > m_headerLength &&
      !WriteOutput(m_receive.data() + m_headerLength, m_filled - m_headerLength)) {
    ok = false;
  }
  if (ok && m_contentLength >= 0 && m_bodyReceived < m_contentLength) ok = false;
  // A successful transfer leaves a file, empty when the body was.
  if (ok && m_output < 0 && !OpenOutput()) ok = false;
  struct stat st;
  if (ok && fstat(m_output, &st) == 0) {
    m_fileLength = static_cast<int32_t>(std::min<off_t>(st.st_size, INT32_MAX));
  }
  if (!CloseOutput()) ok = false;
  m_success = ok ? 1 : 0;
  return ok;
}

bool CHttpDriver::ReceiveAll() {
  int32_t scanFrom = 0;
  for (;;) {
    if (kWindow - m_filled < kRefillThreshold) {
      // A header block that does not fit the window is refused whole.
      if (!m_headerParsed || !FlushWindow()) return false;
    }
    const int32_t n = m_socket->Receive(m_receive.data() + m_filled, kWindow - m_filled, 0);
    if (n < 0) return false;
    if (n == 0) return true;
    m_filled += n;
    if (m_headerParsed) {
      m_bodyReceived += n;
    } else if (FindHeaderEnd(&scanFrom)) {
      ParseHeader();
      m_bodyReceived = m_filled - m_headerLength;
      if (m_statusCode > kLastGoodStatus) return true;
    }
    if (m_headerParsed && !ReportProgress()) return false;
  }
}

bool CHttpDriver::ReportProgress() {
  if (!m_progress || m_progress(m_bodyReceived, m_contentLength, m_progressCookie) == 0) {
    return true;
  }
  CloseOutput();
  if (m_ownPath == m_localName) unlink(m_localName.c_str());
  m_localError = ECANCELED;
  return false;
}

bool CHttpDriver::FindHeaderEnd(int32_t* scanFrom) {
  const char* data = m_receive.data();
  for (int32_t i = std::max(0, *scanFrom - 3); i + 1 < m_filled; ++i) {
    if (data[i] == '\n' && data[i + 1] == '\n') {
      m_headerLength = i + 2;
      return true;
    }
    if (i + 3 < m_filled && std::memcmp(data + i, "\r\n\r\n", 4) == 0) {
      m_headerLength = i + 4;
      return true;
    }
  }
  *scanFrom = m_filled;
  return false;
}

void CHttpDriver::ParseHeader() {
  const std::string_view header(m_receive.data(), m_headerLength);
  m_headerParsed = true;
  m_statusCode = 0;
  if (header.substr(0, 4) != "HTTP") {
    m_contentType = " HTTP error/status message\n";
    m_fileLength = 0;
    return;
  }
  const std::string_view line = header.substr(0, header.find('\n'));
  m_statusCode = StatusCode(line);
  m_statusLine = std::string(line.substr(0, kStatusTextMax));
  size_t label = header.find("Content-type:");
  if (label == std::string_view::npos) label = header.find("Content-Type:");
  if (label == std::string_view::npos) {
    m_contentType = "text/html";
  } else {
    const size_t start = label + 13;
    m_contentType = std::string(header.substr(start, header.find('\n', start) - start));
  }
  m_contentLength = ContentLength(header);
}

bool CHttpDriver::OpenOutput() {
  std::string extension;
  if (!m_contentType.empty() && m_table && m_table->Lookup(&m_contentType, &extension) &&
      UsableExtension(extension) && EndsWith(m_localName, kTempSuffix)) {
    m_localName.replace(m_localName.size() - kTempSuffix.size(), kTempSuffix.size(), extension);
  }
  m_output = OpenOwnFile();
  if (m_output < 0) NoteLocalError();
  return m_output >= 0;
}

int CHttpDriver::OpenOwnFile() {
  const char* path = m_localName.c_str();
  struct stat st;
  if (m_localName == m_ownPath) {
    const int fd = open(path, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
      int reason = EEXIST;  // not our file any more: someone else's
      if (fstat(fd, &st) != 0) {
        reason = errno;
      } else if (S_ISREG(st.st_mode) && st.st_dev == m_ownDevice && st.st_ino == m_ownInode) {
        if (ftruncate(fd, 0) == 0) return fd;
        reason = errno;
      }
      close(fd);
      errno = reason;
      return -1;
    }
    if (errno != ENOENT) return -1;
  }
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0 || fstat(fd, &st) != 0) {
    if (fd >= 0) close(fd);
    return -1;
  }
  m_ownPath = m_localName;
  m_ownDevice = st.st_dev;
  m_ownInode = st.st_ino;
  return fd;
}

bool CHttpDriver::WriteOutput(const char* data, size_t size) {
  if (m_output < 0 && !OpenOutput()) return false;
  while (size > 0) {
    const ssize_t n = write(m_output, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteLocalError();
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool CHttpDriver::FlushWindow() {
  if (m_filled > m_headerLength &&
      !WriteOutput(m_receive.data() + m_headerLength, m_filled - m_headerLength)) {
    return false;
  }
  m_filled = 0;
  m_headerLength = 0;
  return true;
}

bool CHttpDriver::CloseOutput() {
  if (m_output < 0) return true;
  const int result = close(m_output);
  m_output = -1;
  if (result != 0) NoteLocalError();
  return result == 0;
}

int32_t CHttpDriver::GetInfo(DriverInfo* info) {
  info->url = m_url;
  info->localName = m_localName;
  info->proxy = m_proxy;
  info->contentType = m_contentType;
  info->statusLine = m_statusLine;
  info->statusCode = m_statusCode;
  info->success = m_success;
  info->fileLength = m_fileLength;
  info->requestLength = m_requestLength;
  return 1;
}

int32_t CHttpDriver::GetSocketError() { return m_socketError; }

void CHttpDriver::NoteLocalError() {
  if (m_localError == 0) m_localError = errno != 0 ? errno : EIO;
}

}  // namespace gannet
