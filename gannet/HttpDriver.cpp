#include "HttpDriver.h"

#include "HttpRequest.h"
#include "NetSocket.h"
#include "RedirectPolicy.h"
#include "UrlParser.h"
#include "WinsockErrors.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <string_view>
#include <thread>

namespace gannet {

namespace {

constexpr int32_t kLastGoodStatus = 200;

}  // namespace

CHttpDriver::CHttpDriver(const std::string& url, const std::string& localName,
                         const std::string& proxy, CNetSocket* socket, CContentTypeTable* table)
    : m_url(url), m_socket(socket), m_connection(socket, proxy), m_file(localName, table) {}

CHttpDriver::~CHttpDriver() {
  if (m_socket) m_socket->SetTick(nullptr);
}

void CHttpDriver::SetProgress(WebProgressCallback callback, void* cookie) {
  m_progress = callback;
  m_progressCookie = cookie;
  if (!m_socket) return;
  m_socket->SetTick(callback ? CNetSocket::Tick([this] { return Tick(); }) : nullptr);
}

int32_t CHttpDriver::Load(std::string* name, int32_t* length) {
  if (!m_socket) return 0;
  bool ok = false;
  try {
    ok = Transfer();
  } catch (const std::bad_alloc&) {
    m_file.Close();
    m_connection.Close();
  }
  if (!ok) {
    m_socketError = m_ownError != 0 ? m_ownError : m_socket->LastError();
    // A stop the caller asked for is no failure of the network.
    if (m_cancelled) m_socketError = 0;
    return 0;
  }
  *name = m_file.Name();
  *length = m_fileLength;
  return 1;
}

void CHttpDriver::BeginTransfer() {
  m_success = m_fileLength = m_requestLength = 0;
  m_ownError = 0;
  m_cancelled = false;
  m_file.ResetError();
  m_shownReceived = 0;
  m_shownTotal = -1;
  Answer().ForgetStatus();
  Answer().contentType.clear();
}

bool CHttpDriver::Transfer() {
  BeginTransfer();
  if (!m_connection.HasWindow()) return false;
  if (!ReachFinalAnswer()) {
    m_connection.Close();
    return false;
  }
  bool ok = TakeAnswer();
  bool resumed = false;
  for (int attempt = 0; !ok && m_resume.MayResume(attempt, BrokeOnTheWay()); ++attempt) {
    resumed = true;
    ok = Resume(attempt);
  }
  m_connection.Close();
  if (!ok && resumed) m_file.Remove();
  return FinishTransfer(ok);
}

bool CHttpDriver::FinishTransfer(bool ok) {
  // A successful transfer leaves a file, empty when the body was.
  if (ok && !m_file.IsOpen() && !m_file.Open(&Answer().contentType)) ok = false;
  const int64_t length = ok ? m_file.Length() : -1;
  if (length >= 0) m_fileLength = static_cast<int32_t>(std::min<int64_t>(length, INT32_MAX));
  if (!m_file.Close()) ok = false;
  m_success = ok ? 1 : 0;
  return ok;
}

bool CHttpDriver::ReachFinalAnswer() {
  CRedirectPolicy chain(m_url);
  for (;;) {
    m_finalUrl = chain.Url();
    if (!Exchange(chain.Url(), chain.Credentials())) return false;
    const CRedirectPolicy::Step step = chain.Judge(Answer());
    if (step == CRedirectPolicy::Step::kRefused) return Refuse(chain.Refusal());
    if (step == CRedirectPolicy::Step::kFinal) {
      m_credentials = chain.Credentials();
      return true;
    }
    m_connection.Close();
  }
}

bool CHttpDriver::Exchange(const std::string& url, const std::string& credentials,
                           const std::string& extraHeaders) {
  const RequestTarget target = TargetOf(url);
  const bool proxied = m_connection.Forwards(target);
  if (!CHttpRequest::MayCarry(credentials, target, proxied)) {
    return Refuse(kErrInsecureCredentials);
  }
  const std::string request = CHttpRequest::Get(proxied ? target.withoutUserinfo : target.path,
                                                target.hostHeader, credentials, extraHeaders);
  if (request.size() > static_cast<size_t>(CHttpConnection::kWindow)) return false;
  m_requestLength = static_cast<int32_t>(request.size());
  return m_connection.Open(target) && m_connection.Send(request) && m_connection.ReceiveHeader();
}

bool CHttpDriver::TakeAnswer() {
  m_broken = m_ranged = false;
  const CHttpHeader& answer = Answer();
  // A part of the file nobody asked for is no answer at all.
  if (answer.statusCode == 206) return false;
  if (answer.statusCode > kLastGoodStatus) {
    // An error page is kept in the local file as far as it arrived.
    const std::string_view page = m_connection.EarlyBody();
    if (!page.empty()) WriteOutput(page.data(), page.size());
    return false;
  }
  if (!answer.IsIdentity()) return Refuse(kErrNotSupported);
  m_chunks = CChunkDecoder();
  m_bodyReceived = 0;
  m_resume.Begin(answer);
  return ReceiveBody();
}

bool CHttpDriver::BrokeOnTheWay() const {
  return m_broken && m_ownError == 0 && GetLocalError() == 0;
}

bool CHttpDriver::Resume(int attempt) {
  m_connection.Close();
  // Told first, so that the wait can be shown for what it is.
  const int64_t kept = m_bodyReceived;
  if (!ReportProgress(-1 - kept, m_resume.Total()) || !Pause(m_resume.WaitMs(attempt))) {
    return false;
  }
  m_broken = true;
  if (!Exchange(m_finalUrl, m_credentials, m_resume.RangeHeaders(kept))) return false;
  m_broken = false;
  switch (m_resume.Judge(Answer(), kept)) {
    case CResumePolicy::Decision::kRestart:
      return Restart();
    case CResumePolicy::Decision::kContinue:
      return ContinueRange();
    case CResumePolicy::Decision::kFail:
      break;
  }
  return false;
}

bool CHttpDriver::ContinueRange() {
  if (!Answer().IsIdentity()) return Refuse(kErrNotSupported);
  m_ranged = true;
  // From here on the answer stands for the whole body.
  Answer().contentLength = m_resume.Total();
  return ReceiveBody();
}

bool CHttpDriver::Restart() {
  return m_file.Truncate() && ReportProgress(0, Answer().contentLength) && TakeAnswer();
}

bool CHttpDriver::ReceiveBody() {
  // Body bytes that came with the header are told as any others.
  const std::string_view early = m_connection.EarlyBody();
  if (!DeliverBody(early.data(), early.size()) ||
      (!early.empty() && !ReportProgress(m_bodyReceived, Answer().contentLength))) {
    return false;
  }
  while (!BodyComplete()) {
    const int32_t n = m_connection.ReceiveBlock();
    // An end before the framing's own is a cut; so is the end of a body
    // without framing when TLS cannot vouch for it.
    m_broken = n < 0 || (n == 0 && (Answer().contentLength >= 0 || !m_connection.EndIsClean()));
    if (n < 0) return false;
    if (n == 0) return !Answer().chunked && !m_broken;
    if (!DeliverBody(m_connection.Block(), static_cast<size_t>(n)) ||
        !ReportProgress(m_bodyReceived, Answer().contentLength)) {
      return false;
    }
  }
  // A range that goes on after its announced end does not describe the file.
  return !m_ranged || m_connection.ReceiveBlock() <= 0;
}

bool CHttpDriver::DeliverBody(const char* data, size_t size) {
  if (size == 0) return true;
  if (Answer().chunked) {
    const CChunkDecoder::Result result =
        m_chunks.Feed(data, size, [this](const char* piece, size_t length) {
          m_bodyReceived += static_cast<int64_t>(length);
          return WriteOutput(piece, length);
        });
    return result == CChunkDecoder::Result::kMore || result == CChunkDecoder::Result::kDone;
  }
  // Bytes after the announced length are no part of the body; in a range
  // they contradict it.
  const int64_t contentLength = Answer().contentLength;
  if (contentLength >= 0) {
    const int64_t left = contentLength - m_bodyReceived;
    if (m_ranged && static_cast<int64_t>(size) > left) return false;
    size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), left));
  }
  m_bodyReceived += static_cast<int64_t>(size);
  return size == 0 || WriteOutput(data, size);
}

bool CHttpDriver::BodyComplete() const {
  const CHttpHeader& answer = m_connection.Header();
  if (answer.chunked) return m_chunks.Done();
  return answer.contentLength >= 0 && m_bodyReceived >= answer.contentLength;
}

bool CHttpDriver::WriteOutput(const char* data, size_t size) {
  return (m_file.IsOpen() || m_file.Open(&Answer().contentType)) && m_file.Write(data, size);
}

bool CHttpDriver::Refuse(int32_t error) {
  m_ownError = error;
  return false;
}

bool CHttpDriver::ReportProgress(int64_t received, int64_t total) {
  m_shownReceived = received < 0 ? -1 - received : received;
  m_shownTotal = total;
  if (!m_progress || m_progress(received, total, m_progressCookie) == 0) return true;
  m_file.Remove();
  m_cancelled = true;
  return false;
}

bool CHttpDriver::Pause(int64_t ms) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (auto now = Clock::now(); now < end; now = Clock::now()) {
    std::this_thread::sleep_for(
        std::min<Clock::duration>(end - now, std::chrono::milliseconds(100)));
    if (!Tick()) return false;
  }
  return true;
}

int32_t CHttpDriver::GetInfo(DriverInfo* info) {
  const CHttpHeader& answer = m_connection.Header();
  info->url = m_url;
  info->localName = m_file.Name();
  info->proxy = m_connection.Proxy();
  info->contentType = answer.contentType;
  info->statusLine = answer.statusLine;
  info->statusCode = answer.statusCode;
  info->success = m_success;
  info->fileLength = m_fileLength;
  info->requestLength = m_requestLength;
  info->finalUrl = m_finalUrl;
  info->etag = answer.etag;
  info->lastModified = answer.lastModified;
  info->contentLength = answer.contentLength;
  return 1;
}

}  // namespace gannet
