#include "WebFile.h"

#include "ContentTypeTable.h"
#include "HttpDriver.h"
#include "IniFile.h"
#include "OutputFile.h"
#include "TcpSocket.h"
#include "WFCntl.h"
#include "WinsockErrors.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace gannet {

namespace {

enum Code : int32_t {
  kNoError = 0,
  kNoUrl = 1,
  kNoDriver = 2,
  kUnknownProtocol = 3,
  kNoTempFile = 4,
  kControlInitFailed = 5,
  kAttachFailed = 6,
  kNotAcquired = 7,
  kNoSocket = 8,
  kNoIniFile = 9,
};

constexpr size_t kMaxProxy = 127;
constexpr int kDefaultTimeout = 60;

// The control's window value, cached across web objects.
intptr_t g_controlWindow = 0;

constexpr int kDefaultRetries = 5;
constexpr int kDefaultRetryWaitMs = 1000;
// Beyond this many resumes the doubling wait would overflow.
constexpr int kMaxRetries = 16;

// A number from section "network"; a value that is not a number, or is
// negative, gives fallback.
int ReadNumber(const CIniFile& ini, const char* key, int fallback) {
  const std::string text = ini.GetString("network", key, "");
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
    return fallback;
  }
  return std::stoi(text);
}

}  // namespace

void CopyText(char* out, size_t size, const std::string& text) {
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

CWebFile::CWebFile(const std::string& url, CWFCntl* control)
    : m_messages(DefaultMessages()), m_control(control) {
  Construct(url);
}

CWebFile::~CWebFile() {
  ReleaseParts();
  if (m_log) m_log->Release();
  if (m_table) m_table->Release();
}

bool CWebFile::Construct(const std::string& url) {
  try {
    m_settingsFile = std::make_unique<CIniFile>("w3skua.ini");
  } catch (const std::bad_alloc&) {
    Record(kNoIniFile, true);
    ReleaseParts();
    return false;
  }
  m_proxy = m_settingsFile->GetString("proxy information", "http_proxy", "").substr(0, kMaxProxy);
  // timeout: seconds, 0 for no limit. retries: resumes of a broken body.
  // retrywait: milliseconds before the first resume (each later one waits
  // twice as long); meant for tests, which cannot wait seconds.
  m_timeout = ReadNumber(*m_settingsFile, "timeout", kDefaultTimeout);
  m_retries = std::min(ReadNumber(*m_settingsFile, "retries", kDefaultRetries), kMaxRetries);
  m_retryWaitMs = ReadNumber(*m_settingsFile, "retrywait", kDefaultRetryWaitMs);
  m_caFile = m_settingsFile->GetString("network", "cafile", "");
  m_table = CContentTypeTable::AddRef(*m_settingsFile);
  m_log = CWebErrorLog::AddRef();
  m_messages = DefaultMessages();
  Record(kNoError, true);

  if (g_controlWindow == 0) {
    g_controlWindow = m_control->Initialise();
    if (g_controlWindow == -1) {
      Record(kControlInitFailed, true);
      return false;
    }
  }
  m_controlWindow = g_controlWindow;

  m_url = url;
  if (m_url.empty()) {
    Record(kNoUrl, true);
    ReleaseParts();
    return false;
  }
  m_protocol = m_url.compare(0, 4, "http") == 0 ? 1 : -1;
  Record(kNoError, false);

  if (!COutputFile::ChooseTempFile(&m_localName)) {
    Record(kNoTempFile, true);
    return false;
  }
  return ConstructNetwork();
}

bool CWebFile::ConstructNetwork() {
  try {
    m_socket = std::make_unique<CTcpSocket>(m_timeout);
  } catch (const std::bad_alloc&) {
    Record(kNoSocket, true);
    return false;
  }
  m_socket->Init(m_controlWindow, kWebMsgSocket);
  m_socketInfo.reset(new (std::nothrow) WebSocketInfo);
  if (!m_socketInfo) {
    Record(kNoSocket, true);
    ReleaseParts();
    return false;
  }
  m_socket->GetInfo(m_socketInfo.get());
  if (m_control->Attach(this, m_socketInfo->socket, kWebAttachCookie) != 0) {
    Record(kAttachFailed, true);
    ReleaseParts();
    return false;
  }
  m_attached = true;

  if (m_protocol != 1) {
    Record(kUnknownProtocol, true);
    return false;
  }
  try {
    m_driver =
        std::make_unique<CHttpDriver>(m_url, m_localName, m_proxy, m_socket.get(), m_table);
  } catch (const std::bad_alloc&) {
    Record(kNoDriver, true);
    return false;
  }
  m_driver->SetCaFile(m_caFile);
  m_driver->SetResume(m_retries, m_retryWaitMs);
  return true;
}

void CWebFile::Record(int32_t code, bool fatal) {
  int32_t socketError = 0;
  if (code == kCodeSocketError && m_driver) {
    // The driver's error may lie above the socket (TLS, a refused redirect).
    socketError = m_driver->GetSocketError();
    m_messages[code] = ComposeSocketMessage(socketError, WinsockErrorText(socketError));
  } else if (code == kCodeSocketError && m_socket) {
    socketError = m_socket->LastError();
    m_messages[code] = ComposeSocketMessage(socketError, m_socket->ErrorText());
  }
  if (CWebErrorLog* log = CWebErrorLog::Shared()) {
    log->Record(code, m_messages[code], socketError, fatal);
  }
}

void CWebFile::ReleaseParts() {
  if (m_attached) m_control->Detach(m_socketInfo->socket, this);
  m_attached = false;
  // The driver talks to the socket until it is gone.
  m_driver.reset();
  m_socket.reset();
  m_socketInfo.reset();
}

int32_t CWebFile::FatalCode() {
  const CWebErrorLog* log = CWebErrorLog::Shared();
  return log ? log->FatalCode() : kNoError;
}

int32_t CWebFile::Acquire() {
  if (!m_driver) {
    Record(kNoDriver, true);
    ReleaseParts();
  } else {
    std::string name;
    int32_t length = 0;
    if (m_driver->Load(&name, &length)) {
      Record(kNoError, false);
      m_localName = name;
      m_fileLength = length;
    } else {
      Record(m_driver->GetSocketError() != 0 ? kCodeSocketError : kNotAcquired, true);
      // What a failed transfer left behind lies under this name.
      m_localName = m_driver->LocalName();
    }
  }
  return FatalCode() == kNoError ? 0 : -1;
}

bool CWebFile::SetProgress(WebProgressCallback callback, void* cookie) {
  if (m_driver) m_driver->SetProgress(callback, cookie);
  return m_driver != nullptr;
}

const std::string& CWebFile::LocalName() const {
  return m_driver ? m_driver->LocalName() : m_localName;
}

int CWebFile::LocalError() const { return m_driver ? m_driver->GetLocalError() : 0; }

int32_t CWebFile::GetInfo(WebFileInfo* info) const {
  CopyText(info->url, sizeof info->url, m_url);
  CopyText(info->localName, sizeof info->localName, m_localName);
  CopyText(info->proxy, sizeof info->proxy, m_proxy);
  if (!m_driver) return -1;
  DriverInfo d;
  m_driver->GetInfo(&d);
  info->statusCode = d.statusCode;
  CopyText(info->statusLine, sizeof info->statusLine, d.statusLine);
  CopyText(info->contentType, sizeof info->contentType, d.contentType);
  info->completed = d.success;
  info->fileLength = d.fileLength;
  info->requestLength = d.requestLength;
  info->reserved = 0;
  return 0;
}

}  // namespace gannet
