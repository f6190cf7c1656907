#include "HttpDriver.h"

#include "ContentTypeTable.h"
#include "NetSocket.h"
#include "UrlParser.h"
#include "WinsockErrors.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <openssl/evp.h>
#include <optional>
#include <string_view>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
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

bool IsRedirect(int32_t status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Passwords may travel in cleartext only to this machine itself.
bool IsLoopback(const std::string& host) { return host == "127.0.0.1" || host == "::1"; }

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

std::string Base64(const std::string& text) {
  std::string out(4 * ((text.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

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

// The Content-Length of header, or -1 when it holds no plain decimal number.
int64_t ContentLength(std::string_view header) {
  const std::optional<std::string_view> value = HeaderValue(header, "Content-Length");
  if (!value || value->empty() || value->size() > 18 ||
      value->find_first_not_of("0123456789") != std::string_view::npos) {
    return -1;
  }
  return std::strtoll(std::string(*value).c_str(), nullptr, 10);
}

// A Content-Range value "bytes first-last/total"; false for any other form.
bool ParseContentRange(std::string_view value, int64_t* first, int64_t* last, int64_t* total) {
  constexpr std::string_view kUnit = "bytes ";
  if (value.substr(0, kUnit.size()) != kUnit) return false;
  value.remove_prefix(kUnit.size());
  int64_t* const fields[] = {first, last, total};
  const char separators[] = {'-', '/', '\0'};
  for (int i = 0; i < 3; ++i) {
    const size_t end = i < 2 ? value.find(separators[i]) : value.size();
    const std::string_view digits = value.substr(0, end);
    if (end == std::string_view::npos || digits.empty() || digits.size() > 18 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    *fields[i] = std::strtoll(std::string(digits).c_str(), nullptr, 10);
    value.remove_prefix(i < 2 ? end + 1 : end);
  }
  return true;
}

// If-Range compares strongly: a weak ETag cannot stand for the file.
std::string RangeValidator(const std::string& etag, const std::string& lastModified) {
  return !etag.empty() && etag.rfind("W/", 0) != 0 ? etag : lastModified;
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

CHttpDriver::~CHttpDriver() {
  if (m_socket) m_socket->SetTick(nullptr);
  CloseOutput();
}

void CHttpDriver::SetProgress(WebProgressCallback callback, void* cookie) {
  m_progress = callback;
  m_progressCookie = cookie;
  if (!m_socket) return;
  m_socket->SetTick(callback ? CNetSocket::Tick([this] { return Tick(); }) : nullptr);
}

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

std::string CHttpDriver::BuildRequest(const std::string& target, const std::string& hostHeader,
                                      const std::string& credentials,
                                      const std::string& extraHeaders) {
  std::string request = "GET ";
  AppendEscaped(&request, target);
  request += " HTTP/1.0\r\nHost: ";
  AppendEscaped(&request, hostHeader);
  // The file is wanted as it lies on the server, never in a content coding.
  request += "\r\nAccept: */*\r\nAccept-Encoding: identity\r\n";
  if (!credentials.empty()) request += "Authorization: Basic " + Base64(credentials) + "\r\n";
  request += extraHeaders + "\r\n";
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
    m_socketError = m_ownError != 0 ? m_ownError : m_socket->LastError();
    // A stop the caller asked for is no failure of the network.
    if (m_localError == ECANCELED) m_socketError = 0;
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
  m_ownError = 0;
  m_shownReceived = 0;
  m_shownTotal = -1;
  m_statusLine.clear();
  m_contentType.clear();
  if (m_receive.empty()) return false;

  if (!ReachFinalAnswer()) {
    m_socket->Close();
    return false;
  }
  bool ok = TakeAnswer();
  bool resumed = false;
  for (int attempt = 0; !ok && attempt < m_retries && CanResume(); ++attempt) {
    resumed = true;
    ok = Resume(attempt);
  }
  m_socket->Close();
  if (!ok && resumed) Discard();
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

bool CHttpDriver::ReachFinalAnswer() {
  std::string url = m_url;
  std::string credentials = PercentDecoded(TargetOf(url).userinfo);
  std::vector<std::string> visited;
  for (;;) {
    m_finalUrl = url;
    std::string next;
    if (!Exchange(url, credentials) || !NextHop(url, &visited, &next)) return false;
    if (next.empty()) {
      m_credentials = credentials;
      return true;
    }
    m_socket->Close();
    // Credentials go only where they were given.
    const RequestTarget from = TargetOf(url);
    const RequestTarget to = TargetOf(next);
    if (!to.userinfo.empty()) {
      credentials = PercentDecoded(to.userinfo);
    } else if (to.https != from.https || to.hostHeader != from.hostHeader) {
      credentials.clear();
    }
    url = next;
  }
}

bool CHttpDriver::Exchange(const std::string& url, const std::string& credentials,
                           const std::string& extraHeaders) {
  const RequestTarget target = TargetOf(url);
  // A proxy forwards plain http by the whole URL; https goes through a tunnel.
  const bool proxied = !m_proxy.empty() && !target.https;
  // TLS carries a password end to end, through a tunnel as well; cleartext
  // only straight to this machine, since a proxy would read it on the way.
  if (!credentials.empty() && !target.https && (proxied || !IsLoopback(target.host.name))) {
    return Refuse(kErrInsecureCredentials);
  }
  const std::string request =
      BuildRequest(proxied ? target.withoutUserinfo : target.path, target.hostHeader, credentials,
                   extraHeaders);
  if (request.size() > static_cast<size_t>(kWindow)) return false;
  m_requestLength = static_cast<int32_t>(request.size());
  return Open(target) && m_socket->Send(request.data(), m_requestLength, 0) >= 1 &&
         ReceiveHeader();
}

bool CHttpDriver::Open(const RequestTarget& target) {
  if (m_proxy.empty()) {
    if (m_socket->Connect(target.host.name, target.host.port) != 0) return false;
  } else {
    // A proxy may be written as host:port alone.
    const std::string proxy =
        m_proxy.find("://") == std::string::npos ? "http://" + m_proxy : m_proxy;
    const HostPort peer = SplitHostPort(ParseUrl(proxy, "", kParseHost).value_or(""));
    if (m_socket->Connect(peer.name, peer.port) != 0) return false;
    if (target.https && !OpenTunnel(target)) return false;
  }
  return !target.https || m_socket->StartTls(target.host.name, m_caFile) == 0;
}

bool CHttpDriver::OpenTunnel(const RequestTarget& target) {
  std::string authority;
  AppendEscaped(&authority, (target.host.name.find(':') == std::string::npos
                                 ? target.host.name
                                 : "[" + target.host.name + "]") +
                                ":" + std::to_string(target.host.port));
  const std::string request =
      "CONNECT " + authority + " HTTP/1.0\r\nHost: " + authority + "\r\n\r\n";
  if (m_socket->Send(request.data(), static_cast<int32_t>(request.size()), 0) < 1 ||
      !ReceiveHeader()) {
    return false;
  }
  // A refusal keeps the proxy's status line for the caller.
  if (m_statusCode != 200) return false;
  m_statusCode = 0;
  m_statusLine.clear();
  return true;
}

bool CHttpDriver::ReceiveHeader() {
  m_filled = m_headerLength = m_statusCode = 0;
  m_headerParsed = false;
  m_statusLine.clear();
  int32_t scanFrom = 0;
  m_socket->StartDeadline();
  bool found = false;
  while (!(found = FindHeaderEnd(&scanFrom)) && kWindow - m_filled >= kRefillThreshold) {
    // A header block that does not fit the window is refused whole.
    const int32_t n = m_socket->Receive(m_receive.data() + m_filled, kWindow - m_filled, 0);
    if (n <= 0) break;
    m_filled += n;
  }
  m_socket->ClearDeadline();
  if (found) ParseHeader();
  return found;
}

bool CHttpDriver::NextHop(const std::string& url, std::vector<std::string>* visited,
                          std::string* next) {
  next->clear();
  if (!IsRedirect(m_statusCode) || m_location.empty()) return true;
  if (visited->size() >= static_cast<size_t>(kMaxRedirects)) return Refuse(kErrRedirectFailed);
  visited->push_back(url);
  const std::optional<std::string> resolved = ResolveReference(url, m_location);
  if (!resolved || std::find(visited->begin(), visited->end(), *resolved) != visited->end()) {
    return Refuse(kErrRedirectFailed);
  }
  if (TargetOf(url).https && !TargetOf(*resolved).https) return Refuse(kErrInsecureRedirect);
  *next = *resolved;
  return true;
}

bool CHttpDriver::TakeAnswer() {
  m_broken = m_ranged = false;
  // A part of the file nobody asked for is no answer at all.
  if (m_statusCode == 206) return false;
  if (m_statusCode > kLastGoodStatus) {
    // An error page is kept in the local file as far as it arrived.
    if (m_filled > m_headerLength) {
      WriteOutput(m_receive.data() + m_headerLength, m_filled - m_headerLength);
    }
    return false;
  }
  if (!m_contentEncoding.empty() && strcasecmp(m_contentEncoding.c_str(), "identity") != 0) {
    return Refuse(kErrNotSupported);
  }
  m_chunks = CChunkDecoder();
  m_bodyReceived = 0;
  m_total = m_chunked ? -1 : m_contentLength;
  m_savedEtag = m_etag;
  m_savedLastModified = m_lastModified;
  m_validator = RangeValidator(m_etag, m_lastModified);
  return ReceiveBody();
}

bool CHttpDriver::CanResume() const {
  return m_broken && m_total >= 0 && !m_validator.empty() && m_ownError == 0 &&
         m_localError == 0;
}

bool CHttpDriver::Resume(int attempt) {
  m_socket->Close();
  // Told first, so that the wait can be shown for what it is.
  const int64_t kept = m_bodyReceived;
  if (!ReportProgress(-1 - kept, m_total) ||
      !Pause(static_cast<int64_t>(m_firstWaitMs) << attempt)) {
    return false;
  }
  m_broken = true;
  const std::string range =
      "Range: bytes=" + std::to_string(kept) + "-\r\nIf-Range: " + m_validator + "\r\n";
  if (!Exchange(m_finalUrl, m_credentials, range)) return false;
  m_broken = false;
  if (m_statusCode == 200) return Restart();
  return m_statusCode == 206 && ContinueRange();
}

bool CHttpDriver::ContinueRange() {
  const std::string_view header(m_receive.data(), m_headerLength);
  int64_t first = 0;
  int64_t last = 0;
  int64_t total = 0;
  if (!ParseContentRange(HeaderValue(header, "Content-Range").value_or(""), &first, &last,
                         &total) ||
      first != m_bodyReceived || total != m_total || last != total - 1 ||
      (m_contentLength >= 0 && m_contentLength != total - first) || m_chunked) {
    return false;
  }
  // The file must still be the one whose beginning is kept.
  if ((!m_etag.empty() && m_etag != m_savedEtag) ||
      (!m_lastModified.empty() && m_lastModified != m_savedLastModified)) {
    return false;
  }
  if (!m_contentEncoding.empty() && strcasecmp(m_contentEncoding.c_str(), "identity") != 0) {
    return Refuse(kErrNotSupported);
  }
  m_ranged = true;
  m_contentLength = m_total;
  return ReceiveBody();
}

bool CHttpDriver::Restart() {
  if (m_output >= 0 && (ftruncate(m_output, 0) != 0 || lseek(m_output, 0, SEEK_SET) != 0)) {
    NoteLocalError();
    return false;
  }
  return ReportProgress(0, m_contentLength) && TakeAnswer();
}

void CHttpDriver::Discard() {
  CloseOutput();
  if (m_ownPath == m_localName) unlink(m_localName.c_str());
}

bool CHttpDriver::ReceiveBody() {
  // Body bytes that came with the header are told as any others.
  const int32_t early = m_filled - m_headerLength;
  if (!DeliverBody(m_receive.data() + m_headerLength, early) ||
      (early > 0 && !ReportProgress(m_bodyReceived, m_contentLength))) {
    return false;
  }
  while (!BodyComplete()) {
    const int32_t n = m_socket->Receive(m_receive.data(), kWindow, 0);
    // An end before the framing's own is a cut; so is the end of a body
    // without framing when TLS cannot vouch for it.
    m_broken = n < 0 || (n == 0 && (m_contentLength >= 0 || !m_socket->EndIsClean()));
    if (n < 0) return false;
    if (n == 0) return !m_chunked && !m_broken;
    if (!DeliverBody(m_receive.data(), static_cast<size_t>(n)) ||
        !ReportProgress(m_bodyReceived, m_contentLength)) {
      return false;
    }
  }
  // A range that goes on after its announced end does not describe the file.
  return !m_ranged || m_socket->Receive(m_receive.data(), kWindow, 0) <= 0;
}

bool CHttpDriver::DeliverBody(const char* data, size_t size) {
  if (size == 0) return true;
  if (m_chunked) {
    const CChunkDecoder::Result result =
        m_chunks.Feed(data, size, [this](const char* piece, size_t length) {
          m_bodyReceived += static_cast<int64_t>(length);
          return WriteOutput(piece, length);
        });
    return result == CChunkDecoder::Result::kMore || result == CChunkDecoder::Result::kDone;
  }
  // Bytes after the announced length are no part of the body; in a range
  // they contradict it.
  if (m_contentLength >= 0) {
    const int64_t left = m_contentLength - m_bodyReceived;
    if (m_ranged && static_cast<int64_t>(size) > left) return false;
    size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), left));
  }
  m_bodyReceived += static_cast<int64_t>(size);
  return size == 0 || WriteOutput(data, size);
}

bool CHttpDriver::BodyComplete() const {
  if (m_chunked) return m_chunks.Done();
  return m_contentLength >= 0 && m_bodyReceived >= m_contentLength;
}

bool CHttpDriver::Refuse(int32_t error) {
  m_ownError = error;
  return false;
}

bool CHttpDriver::Pause(int64_t ms) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (auto now = Clock::now(); now < end; now = Clock::now()) {
    std::this_thread::sleep_for(std::min<Clock::duration>(end - now, std::chrono::milliseconds(100)));
    if (!Tick()) return false;
  }
  return true;
}

bool CHttpDriver::ReportProgress(int64_t received, int64_t total) {
  m_shownReceived = received < 0 ? -1 - received : received;
  m_shownTotal = total;
  if (!m_progress || m_progress(received, total, m_progressCookie) == 0) {
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
  m_contentLength = -1;
  m_chunked = false;
  m_location.clear();
  m_contentEncoding.clear();
  m_etag.clear();
  m_lastModified.clear();
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
  const auto text = [&header](std::string_view name) {
    return std::string(HeaderValue(header, name).value_or(""));
  };
  const std::string coding = text("Transfer-Encoding");
  m_chunked = strcasestr(coding.c_str(), "chunked") != nullptr;
  m_location = text("Location");
  m_contentEncoding = text("Content-Encoding");
  m_etag = text("ETag");
  m_lastModified = text("Last-Modified");
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
  info->finalUrl = m_finalUrl;
  info->etag = m_etag;
  info->lastModified = m_lastModified;
  info->contentLength = m_contentLength;
  return 1;
}

int32_t CHttpDriver::GetSocketError() { return m_socketError; }

void CHttpDriver::NoteLocalError() {
  if (m_localError == 0) m_localError = errno != 0 ? errno : EIO;
}

}  // namespace gannet
