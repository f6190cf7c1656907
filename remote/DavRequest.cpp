#include "remote/DavRequest.h"

#include <curl/curl.h>

#include <linux/sockios.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <linux/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "remote/WebTrust.h"

namespace {

constexpr size_t kBodyLimit = 64 * 1024;
constexpr long kConnectSeconds = 30;
// A transfer whose server acknowledges and sends nothing for this long has
// stalled. Acknowledged, not handed over: a slow link drains megabytes of
// socket buffers after the last byte was handed to the kernel.
constexpr int64_t kStallMs = 30000;
// The longest a transfer goes without looking at its stop probe.
constexpr int kTickMs = 100;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

const char* Environment(const char* name) {
  const char* value = std::getenv(name);
  return value && *value ? value : nullptr;
}

}  // namespace

CDavRequest::CDavRequest(const std::string& url, const NetrcLogin* login)
    : m_stopEvent(CStopEvent::Current()) {
  GlobalInit();
  m_curl = curl_easy_init();
  curl_easy_setopt(m_curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(m_curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(m_curl, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(m_curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, kConnectSeconds);
  // The web access library's proxy or none: a proxy from the environment
  // would see what the user never chose to send through it.
  const std::string proxy = WebProxy();
  curl_easy_setopt(m_curl, CURLOPT_PROXY, proxy.c_str());
  curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &CDavRequest::Progress);
  curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
  curl_easy_setopt(m_curl, CURLOPT_SSLVERSION, CURL_SSLVERSION_TLSv1_2);
  curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 2L);
  // The web access library trusts the system store plus its cafile; OpenSSL
  // reads only one bundle file, so the cafile joins through the directory
  // side when both are set.
  const std::string caFile = WebCaFile();
  const char* certFile = caFile.empty() ? Environment("SSL_CERT_FILE") : caFile.c_str();
  const char* certDir = Environment("SSL_CERT_DIR");
  if (!caFile.empty() && !certDir) certDir = "/etc/ssl/certs";
  if (certFile) curl_easy_setopt(m_curl, CURLOPT_CAINFO, certFile);
  if (certDir) curl_easy_setopt(m_curl, CURLOPT_CAPATH, certDir);
  curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_errorText);
  curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CDavRequest::Received);
  curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
  if (login) {
    curl_easy_setopt(m_curl, CURLOPT_HTTPAUTH, CURLAUTH_BASIC);
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, login->user.c_str());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, login->password.c_str());
  }
}

CDavRequest::~CDavRequest() {
  curl_easy_cleanup(m_curl);
  curl_slist_free_all(m_headers);
}

void CDavRequest::AddHeader(const std::string& line) {
  m_headers = curl_slist_append(m_headers, line.c_str());
}

void CDavRequest::Put(const std::string& body) {
  m_putBody = body;
  curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(body.size()));
  curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, &CDavRequest::Send);
  curl_easy_setopt(m_curl, CURLOPT_READDATA, this);
}

void CDavRequest::PutStream(BodySource source) {
  m_source = std::move(source);
  curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(m_curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(-1));
  curl_easy_setopt(m_curl, CURLOPT_UPLOAD_BUFFERSIZE, 1024L * 1024);
  curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, &CDavRequest::Send);
  curl_easy_setopt(m_curl, CURLOPT_READDATA, this);
}

void CDavRequest::Delete() { curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, "DELETE"); }

void CDavRequest::Head() { curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L); }

void CDavRequest::MakeCollection() { curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, "MKCOL"); }

void CDavRequest::Properties() {
  curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, "PROPFIND");
  AddHeader("Depth: 0");
}

void CDavRequest::StopWhen(std::function<bool()> stop) { m_stop = std::move(stop); }

void CDavRequest::OnSent(std::function<void(uint64_t sent)> sent) { m_sent = std::move(sent); }

bool CDavRequest::Perform() {
  curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, m_headers);
  m_stillSince = NowMs();
  m_curlCode = Run();
  curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &m_status);
  return m_curlCode == CURLE_OK;
}

int CDavRequest::Run() {
  const std::unique_ptr<CURLM, decltype(&curl_multi_cleanup)> multi(curl_multi_init(),
                                                                    &curl_multi_cleanup);
  if (!multi || curl_multi_add_handle(multi.get(), m_curl) != CURLM_OK) return CURLE_OUT_OF_MEMORY;
  const int stopFd = m_stopEvent ? m_stopEvent->Fd() : -1;
  int running = 1;
  CURLMcode failure = CURLM_OK;
  while (failure == CURLM_OK && !Stopping()) {
    failure = curl_multi_perform(multi.get(), &running);
    if (failure != CURLM_OK || running == 0) break;
    curl_waitfd stop = {stopFd, CURL_WAIT_POLLIN, 0};
    failure = curl_multi_poll(multi.get(), &stop, stopFd >= 0 ? 1 : 0, kTickMs, nullptr);
  }
  int code = failure == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_RECV_ERROR;
  int queued = 0;
  while (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
    if (message->msg == CURLMSG_DONE) code = message->data.result;
  }
  if (running != 0 && Stopping()) code = CURLE_ABORTED_BY_CALLBACK;
  curl_multi_remove_handle(multi.get(), m_curl);
  return code;
}

bool CDavRequest::Stopping() const {
  return (m_stopEvent && m_stopEvent->IsRaised()) || (m_stop && m_stop());
}

int64_t CDavRequest::ContentLength() const {
  curl_off_t length = -1;
  curl_easy_getinfo(m_curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  return length;
}

std::string CDavRequest::CurlError() const {
  if (m_stalled) {
    return "the server acknowledged nothing for " + std::to_string(kStallMs / 1000) + " s";
  }
  return m_errorText[0] ? m_errorText : curl_easy_strerror(static_cast<CURLcode>(m_curlCode));
}

size_t CDavRequest::Received(char* data, size_t size, size_t count, void* self) {
  auto* request = static_cast<CDavRequest*>(self);
  const size_t length = size * count;
  const size_t room = kBodyLimit - std::min(kBodyLimit, request->m_body.size());
  request->m_body.append(data, std::min(length, room));
  return length;
}

size_t CDavRequest::Send(char* out, size_t size, size_t count, void* self) {
  auto* request = static_cast<CDavRequest*>(self);
  const size_t length = size * count;
  if (request->m_source) {
    const ptrdiff_t got = request->m_source(reinterpret_cast<uint8_t*>(out), length);
    return got < 0 ? CURL_READFUNC_ABORT : static_cast<size_t>(got);
  }
  const size_t n = std::min(length, request->m_putBody.size() - request->m_putOffset);
  std::memcpy(out, request->m_putBody.data() + request->m_putOffset, n);
  request->m_putOffset += n;
  return n;
}

uint64_t CDavRequest::Sent(uint64_t uploaded) const {
  curl_socket_t fd = CURL_SOCKET_BAD;
  curl_easy_getinfo(m_curl, CURLINFO_ACTIVESOCKET, &fd);
  int waiting = 0;
  if (fd == CURL_SOCKET_BAD || ioctl(fd, SIOCOUTQ, &waiting) != 0 || waiting < 0) return uploaded;
  return uploaded - std::min<uint64_t>(uploaded, static_cast<uint64_t>(waiting));
}

bool CDavRequest::Moved() {
  curl_socket_t fd = CURL_SOCKET_BAD;
  curl_easy_getinfo(m_curl, CURLINFO_ACTIVESOCKET, &fd);
  tcp_info info = {};
  socklen_t length = sizeof info;
  uint64_t moved = 0;
  if (fd != CURL_SOCKET_BAD && getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) == 0) {
    moved = info.tcpi_bytes_acked + info.tcpi_bytes_received;
  }
  if (moved == m_moved) return false;
  m_moved = moved;
  return true;
}

int CDavRequest::Progress(void* self, int64_t, int64_t, int64_t uploaded, int64_t) {
  auto* request = static_cast<CDavRequest*>(self);
  if (request->Stopping()) return 1;
  if (request->m_sent) request->m_sent(request->Sent(static_cast<uint64_t>(uploaded)));
  const int64_t now = NowMs();
  if (request->Moved()) request->m_stillSince = now;
  if (now - request->m_stillSince < kStallMs) return 0;
  request->m_stalled = true;
  return 1;
}
