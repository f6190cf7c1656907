#include "app/UrlDoc.h"

#include "gannet.h"
#include "pipeline/ArrivingFile.h"
#include "pipeline/Progress.h"
#include "platform/SystemError.h"
#include "remote/WebTrust.h"

#include <cerrno>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace {

constexpr int32_t kLibraryNotAcquired = 7;
constexpr int32_t kLibrarySocketError = 10;
const char* const kUnexpected = "Unexpected Network Error";

// The system error for an answer the server gave instead of the file.
uint32_t StatusError(int32_t status) {
  if (status == 401 || status == 403 || status == 407) return ERROR_ACCESS_DENIED;
  if (status == 414) return ERROR_FILENAME_EXCED_RANGE;
  if (status >= 500 && status <= 599) return HTTP_E_STATUS_UNEXPECTED_SERVER_ERROR;
  if (status >= 300 && status <= 399) return HTTP_E_STATUS_UNEXPECTED_REDIRECTION;
  if (status >= 400 && status <= 499 && status != 404 && status != 410) {
    return HTTP_E_STATUS_UNEXPECTED_CLIENT_ERROR;
  }
  return ERROR_FILE_NOT_FOUND;
}

// The system error for the library's socket-layer failure number: the
// connection's own failures are network errors, while the numbers above the
// socket (the secure channel's, the transfer's refusals) are system errors
// already.
uint32_t SocketError(int32_t number) {
  if (number == 0 || (number >= 10000 && number < 12000)) return ERROR_UNEXP_NET_ERR;
  return static_cast<uint32_t>(number);
}

// "host:port" of `url`, the scheme's port when it names none.
std::string HostPort(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) return url;
  std::string authority = url.substr(scheme + 3, url.find_first_of("/?#", scheme + 3) - scheme - 3);
  authority = authority.substr(authority.rfind('@') + 1);
  const size_t close = authority.rfind(']');
  const size_t colon = authority.rfind(':');
  if (colon != std::string::npos && (close == std::string::npos || colon > close)) return authority;
  return authority + (url.compare(0, scheme, "https") == 0 ? ":443" : ":80");
}

// Certificates refused by the trust check. On a private server the usual
// cause is an authority of one's own, which naming it to the library cures.
bool IsTrustFailure(uint32_t code) {
  return code == SEC_E_UNTRUSTED_ROOT || code == SEC_E_CERT_EXPIRED || code == SEC_E_CERT_UNKNOWN;
}

std::string TrustAdvice() {
  return "To trust the authority that issued the server's certificate, name its PEM bundle as "
         "cafile in section [network] of " + WebUserSettingsFile() + ".";
}

// The cause of a failed fetch in plain words, from the server's status or
// the socket layer's number; empty when the system's message says it all.
// `cut` tells a break in the body.
std::string Cause(const std::string& url, int32_t status, int32_t socket, const std::string& cut) {
  if (status == 404 || status == 410) {
    return "The server has no such file: it may have expired or been removed.";
  }
  if (status == 401 || status == 403) return "The server refused access to it.";
  if (status == 407) return "The proxy refused access: it asks for a login.";
  if (status >= 500 && status <= 599) return "The server failed to answer with it.";
  // Under way, a network failure or an end before the body's own is a cut;
  // the transfer's own refusals (a content coding, say) are no cut.
  const bool network = socket == 0 || (socket >= 10000 && socket < 12000);
  if (status >= 200 && status <= 299 && network) return cut;
  if (IsTrustFailure(static_cast<uint32_t>(socket))) return TrustAdvice();
  switch (socket) {
    case 10061:
      return "Could not connect to " + HostPort(url) + ": nothing answers there.";
    case 10060:
      return HostPort(url) + " did not answer in time.";
    case 11001:
    case 11004:
      return "There is no host " + HostPort(url) + ".";
    default:
      return "";
  }
}

// Moves `from` to `to` unless something already has the name `to`.
bool MoveWithoutReplacing(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  SetLastErrorFromErrno(errno, true);
  return false;
}

// What Gannet's progress callback follows: the fetch's progress (null when
// the thread has none), and its resumes so far against the library's
// schedule.
struct FetchFollower {
  CProgress* progress;
  WebResumeSchedule schedule;
  WebHandle web;
  CArrivingFile* arrival;  // null when no one reads along
  int resumes = 0;
  // What the library told last; its ticks while it waits repeat it.
  int64_t received = 0;
  int64_t total = -1;
};

// Tells a reader what arrived: the body's bytes as they are written, and a
// start over (a count that falls to 0) as the end of what it read.
void TellArrival(const FetchFollower& follower, int64_t received) {
  if (received > follower.received) {
    char name[256];
    if (webFileLocalNameGet(follower.web, name) == 0) {
      follower.arrival->Arrived(name, static_cast<uint64_t>(received));
    }
  } else if (received == 0 && follower.received > 0) {
    follower.arrival->Abandon();
  }
}

// Gannet's progress callback: follows the fetch and stops it on request. A
// negative count announces a resume after -1 - received bytes.
int32_t FollowFetch(int64_t received, int64_t total, void* cookie) {
  auto* follower = static_cast<FetchFollower*>(cookie);
  if (follower->arrival) TellArrival(*follower, received);
  CProgress* progress = follower->progress;
  if (received < 0) {
    const int attempt = ++follower->resumes;
    if (progress) {
      progress->Resume(-1 - received, total, attempt, follower->schedule.retries,
                       follower->schedule.firstWait * (1 << (attempt - 1)));
    }
  } else if (progress && (received != follower->received || total != follower->total)) {
    progress->Set(received, total);
  }
  follower->received = received < 0 ? -1 - received : received;
  follower->total = total;
  // A reader that gave up on the body needs no more of it.
  if (follower->arrival && follower->arrival->GivenUp()) return 1;
  return progress && progress->IsCancelled() ? 1 : 0;
}

// A break in the body, with what arrived of what was announced. Resumed
// attempts may each start over, so after one the count tells nothing.
std::string CutSentence(const FetchFollower& arrival) {
  if (arrival.resumes > 0) return "The connection broke before the whole file arrived.";
  const std::string of = arrival.total < 0 ? "" : " of " + std::to_string(arrival.total);
  return "The connection broke after " + std::to_string(arrival.received) + of + " bytes.";
}

}  // namespace

CUrlDoc::CUrlDoc(int32_t deleteOnEmpty) : m_deleteOnEmpty(deleteOnEmpty) {}

CUrlDoc::~CUrlDoc() { SetEmpty(); }

int32_t CUrlDoc::SetDeleteOnEmpty(int32_t flag) { return m_deleteOnEmpty = flag; }

int32_t CUrlDoc::SetUrl(const std::string& url) {
  if (m_web) {
    m_errorCode = -1;
    m_errorMessage = "CUrlDoc::SetUrl() called while busy; use SetEmpty()!";
    SetLastError(static_cast<uint32_t>(-1));
    return 0;
  }
  try {
    Fetch(url);
  } catch (...) {
    m_errorCode = ERROR_UNEXP_NET_ERR;
    m_errorMessage = kUnexpected;
  }
  if (m_errorCode == 0) return 1;
  SetLastError(static_cast<uint32_t>(m_errorCode));
  return 0;
}

void CUrlDoc::Fetch(const std::string& url) {
  m_web = webObjectInit(url.c_str(), 0, 0, 0);
  if (!m_web) {
    // The library could not even make its object: nothing was fetched.
    m_errorCode = ERROR_UNEXP_NET_ERR;
    m_errorMessage = kUnexpected;
    return;
  }
  m_errorCode = 0;
  webFatalErrorGet(m_web, &m_errorCode, nullptr);
  if (m_errorCode != 0) {
    TakeStatusLine();
    return;
  }
  FetchFollower follower{CProgress::Current(), WebResumes(), m_web, m_arrival};
  webFileProgressSet(m_web, FollowFetch, &follower);
  const bool acquired = webFileAcquire(m_web) == 0;
  // The library leaves the reason in errno when its local file failed (a
  // full disk, say); the server is not to blame for that.
  const int localError = acquired ? 0 : errno;
  webFileProgressSet(m_web, nullptr, nullptr);
  webFatalErrorGet(m_web, &m_errorCode, nullptr);
  if (m_errorCode == 0) return;
  const int32_t status = TakeStatusLine();
  int32_t socket = 0;
  webSocketErrorGet(m_web, &socket);
  if (localError == 0 && LearnLocalName()) {
    m_cause = Cause(url, status, socket, CutSentence(follower));
  }
  if (localError == ECANCELED) {
    m_errorCode = ERROR_CANCELLED;
  } else if (localError != 0) {
    m_errorCode = static_cast<int32_t>(SystemErrorFromErrno(localError, true));
  } else if (m_errorCode == kLibraryNotAcquired) {
    m_errorCode = static_cast<int32_t>(StatusError(status));
  } else if (m_errorCode == kLibrarySocketError) {
    m_errorCode = static_cast<int32_t>(SocketError(socket));
  } else {
    m_errorCode = ERROR_UNEXP_NET_ERR;
  }
}

int32_t CUrlDoc::TakeStatusLine() {
  WebFileInfo info = {};
  webFileInfoGet(m_web, &info);
  info.statusLine[sizeof info.statusLine - 1] = '\0';
  m_errorMessage = info.statusLine;
  return info.statusCode;
}

bool CUrlDoc::LearnLocalName() {
  if (m_nameKnown) return true;
  if (!m_web) {
    m_errorCode = ERROR_INVALID_HANDLE;
    return false;
  }
  try {
    char name[512] = {};
    webFileLocalNameGet(m_web, name);
    name[sizeof name - 1] = '\0';
    m_localName = name;
    m_nameKnown = true;
  } catch (...) {
    m_errorCode = ERROR_UNEXP_NET_ERR;
    m_errorMessage = kUnexpected;
    return false;
  }
  return true;
}

int32_t CUrlDoc::GetLocalName(std::string& out, const char* extension) {
  m_errorCode = 0;
  if (!LearnLocalName()) {
    SetLastError(static_cast<uint32_t>(m_errorCode));
    return 0;
  }
  if (extension) {
    const size_t slash = m_localName.rfind('/');
    const size_t dot = m_localName.rfind('.');
    const bool hasDot = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string moved;
    if (!hasDot) moved = m_localName + extension;
    else if (strcasecmp(m_localName.c_str() + dot, extension) != 0) {
      moved = m_localName.substr(0, dot) + extension;
    }
    if (!moved.empty()) {
      if (!MoveWithoutReplacing(m_localName, moved)) return 0;
      m_localName = moved;
    }
  }
  out = m_localName;
  return 1;
}

int32_t CUrlDoc::DeleteLocalFile() {
  if (!m_nameKnown) return 1;
  const bool deleted = unlink(m_localName.c_str()) == 0;
  if (!deleted) SetLastErrorFromErrno(errno);
  m_nameKnown = false;
  m_localName.clear();
  return deleted ? 1 : 0;
}

void CUrlDoc::SetEmpty() {
  if (m_deleteOnEmpty) {
    // A failed fetch may still have left the server's answer on disk.
    if (m_web) LearnLocalName();
    DeleteLocalFile();
  }
  if (m_web) {
    webObjectDelete(m_web);
    m_web = nullptr;
  }
  m_errorCode = 0;
  m_errorMessage.clear();
  m_cause.clear();
}
