#include "remote/DavRoot.h"

#include <curl/curl.h>

#include "platform/StopEvent.h"
#include "platform/SystemError.h"
#include "remote/DavRequest.h"
#include "remote/DavUpload.h"
#include "remote/SecretPasswords.h"
#include "remote/WebTrust.h"

namespace {

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string ClaimOf(const std::string& name) {
  return std::string(CPublishRoot::kWorkPrefix) + "claim-" + name + "/";
}

}  // namespace

CDavRoot::CDavRoot(RemoteAddress address) : m_address(std::move(address)) {}

CDavRoot::~CDavRoot() = default;

const NetrcLogin* CDavRoot::Login() {
  if (m_loginLooked) return m_login ? &*m_login : nullptr;
  m_loginLooked = true;
  NetrcLogin login;
  std::string netrcProblem;
  if (!FindNetrcLogin(m_address.host, m_address.user, login, netrcProblem) &&
      !FindSecretLogin(m_address, login)) {
    m_loginProblem = netrcProblem;
    return nullptr;
  }
  if (m_address.scheme == RemoteAddress::Scheme::Dav && !m_address.IsLoopback()) {
    m_loginProblem = "Quiver sends a password over plain http only to this computer; use davs:// "
                     "to reach " + m_address.host + ".";
    return nullptr;
  }
  if (m_address.scheme == RemoteAddress::Scheme::Dav && !WebProxy().empty()) {
    m_loginProblem = "Quiver sends no password over plain http through the proxy " + WebProxy() +
                     " of w3skua.ini; use davs://, whose password only the server reads.";
    return nullptr;
  }
  m_login = login;
  return &*m_login;
}

std::string CDavRoot::LoginAdvice() const {
  if (!m_loginProblem.empty()) return m_loginProblem;
  if (m_login) {
    return "It refused the user " + m_login->user +
           ": check the password in ~/.netrc or in the desktop's password "
           "store.";
  }
  return "Put \"machine " + m_address.host +
         " login USER password PASSWORD\" into ~/.netrc (chmod 600 ~/.netrc), "
         "or keep the "
         "password in the desktop's password store.";
}

std::unique_ptr<CDavRequest> CDavRoot::Request(const std::string& name) {
  return std::make_unique<CDavRequest>(m_address.HttpUrl(name), Login());
}

bool CDavRoot::TransportFailed(CDavRequest& request, const std::string& what) {
  const std::string why = request.CurlError();
  switch (request.CurlCode()) {
    case CURLE_ABORTED_BY_CALLBACK:
      return Fail(ERROR_CANCELLED, "The " + what + " was stopped.");
    case CURLE_PEER_FAILED_VERIFICATION: {
      const uint32_t code = Contains(why, "expired")        ? SEC_E_CERT_EXPIRED
                            : Contains(why, "subject name") ? SEC_E_WRONG_PRINCIPAL
                                                            : SEC_E_UNTRUSTED_ROOT;
      return Fail(code, "The certificate of " + m_address.host + " is not trusted (" + why +
                            "); Quiver trusts the system's authorities and the cafile of "
                            "w3skua.ini.");
    }
    case CURLE_SSL_CONNECT_ERROR:
      return Fail(SEC_E_ILLEGAL_MESSAGE,
                  "No secure connection to " + m_address.host + " could be made: " + why);
    default:
      return Fail(ERROR_UNEXP_NET_ERR, "The " + what + " failed: " + why + ".");
  }
}

bool CDavRoot::Succeeded(CDavRequest& request, const std::string& what, const std::string& name) {
  const std::string where = m_address.Display() + name;
  if (request.CurlCode() != CURLE_OK) {
    TransportFailed(request, what + " of " + where);
    return false;
  }
  const long status = request.Status();
  if (status >= 200 && status < 300) return true;
  const std::string answered =
      where + ": the server answered " + std::to_string(status) + " to the " + what + ".";
  const bool writing = what == "upload" || what == "creation" || what == "claim";
  switch (status) {
    case 401:
      return Fail(ERROR_ACCESS_DENIED, answered + " It asks for a password. " + LoginAdvice());
    case 403:
      return Fail(ERROR_ACCESS_DENIED, answered + " The server does not allow it.");
    case 404:
    case 409:
      return writing
                 ? Fail(ERROR_PATH_NOT_FOUND, answered + " The collection " + m_address.Display() +
                                                  " does not exist on the server; create it first.")
                 : Fail(ERROR_FILE_NOT_FOUND, answered);
    case 405:
    case 501:
      return Fail(ERROR_ACCESS_DENIED,
                  answered + " Is WebDAV enabled for " + m_address.path + " on that server?");
    case 412:
      return Fail(ERROR_FILE_EXISTS, where + " exists.");
    case 413:
    case 507:
      return Fail(ERROR_DISK_FULL, answered + " The server has no room for the file.");
    default:
      break;
  }
  if (status >= 300 && status < 400) {
    return Fail(HTTP_E_STATUS_UNEXPECTED_REDIRECTION,
                answered + " It redirects; FileRoot must name the collection itself.");
  }
  return Fail(
      status >= 500 ? HTTP_E_STATUS_UNEXPECTED_SERVER_ERROR : HTTP_E_STATUS_UNEXPECTED_CLIENT_ERROR,
      answered);
}

bool CDavRoot::MakeCollection(const std::string& name) {
  // A collection that exists is refused with 405. Apache answers 403 to
  // the loser of two creations at the same moment, as it does where writing
  // is not allowed: only the first leaves a collection behind, unless its
  // holder released it in between, and then the creation is tried again.
  constexpr int kTries = 8;
  for (int attempt = 1;; ++attempt) {
    auto request = Request(name);
    request->MakeCollection();
    request->Perform();
    const long status = request->CurlCode() == CURLE_OK ? request->Status() : 0;
    if (status == 405) return Fail(ERROR_FILE_EXISTS, Display() + name + " exists.");
    if (status != 403 || attempt == kTries) return Succeeded(*request, "claim", name);
    auto look = Request(name);
    look->Properties();
    look->Perform();
    if (look->CurlCode() != CURLE_OK) return TransportFailed(*look, "look-up of " + name);
    if (look->Status() == 207) return Fail(ERROR_FILE_EXISTS, Display() + name + " exists.");
    if (look->Status() != 404) return Succeeded(*request, "claim", name);
  }
}

bool CDavRoot::Exists(const std::string& name, bool& exists) {
  auto request = Request(name);
  request->Head();
  request->Perform();
  if (request->CurlCode() != CURLE_OK) return TransportFailed(*request, "look-up of " + name);
  exists = request->Status() != 404;
  return true;
}

bool CDavRoot::Hold(const std::string& name) {
  if (!MakeCollection(ClaimOf(name))) return false;
  bool taken = false;
  if (Exists(name, taken) && !taken) return true;
  const CStatus why = taken ? CStatus() : Status();
  Release(name);
  return taken ? Fail(ERROR_FILE_EXISTS, Display() + name + " exists.") : Fail(why);
}

bool CDavRoot::Release(const std::string& name) {
  // Removing what a stopped send made must not be stopped itself.
  const CStopEvent::Scope unstoppable(nullptr);
  const CStatus before = Status();
  auto request = Request(ClaimOf(name));
  request->Delete();
  request->Perform();
  if (Succeeded(*request, "deletion", ClaimOf(name)) || Code() == ERROR_FILE_NOT_FOUND) {
    Fail(before);
    return true;
  }
  return false;
}

std::unique_ptr<CPublishUpload> CDavRoot::Create(const NameSequence& names) {
  unsigned index = 0;
  if (!CreateFirstFree(names, index, [&](const std::string& name) { return Hold(name); })) {
    return nullptr;
  }
  return std::make_unique<CDavUpload>(*this, names(index));
}

bool CDavRoot::Remove(const std::string& name) {
  auto request = Request(name);
  request->Delete();
  request->Perform();
  return Succeeded(*request, "deletion", name);
}

bool CDavRoot::Discard(const std::string& workName) {
  const CStopEvent::Scope unstoppable(nullptr);
  return (Remove(workName) || Code() == ERROR_FILE_NOT_FOUND) && Release(workName);
}

bool CDavRoot::Look(const std::string& name, RootEntry& entry) {
  auto request = Request(name);
  request->Head();
  request->Perform();
  if (!Succeeded(*request, "look-up", name)) return false;
  entry.size = request->ContentLength();
  return entry.size >= 0 ||
         Fail(ERROR_INVALID_DATA, m_address.Display() + name + ": the server gave no size.");
}

bool CDavRoot::CheckExclusive() {
  const std::string probe = std::string(kWorkPrefix) + "probe-" + RandomToken(16) + "/";
  auto first = Request(probe);
  first->MakeCollection();
  first->Perform();
  if (!Succeeded(*first, "creation", probe)) return false;
  auto second = Request(probe);
  second->MakeCollection();
  second->Perform();
  const long status = second->Status();
  const bool refused = second->CurlCode() == CURLE_OK && status == 405;
  if (!Remove(probe) && Code() != ERROR_FILE_NOT_FOUND) return false;
  if (refused) return true;
  if (second->CurlCode() != CURLE_OK) return TransportFailed(*second, "check of " + Display());
  return Fail(ERROR_NOT_SUPPORTED,
              "The WebDAV server of " + Display() + " answered " + std::to_string(status) +
                  " to creating a collection that exists, where it must refuse with 405: "
                  "it does not refuse to create what exists, so two senders could take one "
                  "name and one file would overwrite the other. Quiver does not publish "
                  "there; use a server that refuses, such as Apache's mod_dav or nginx's dav "
                  "module.");
}
