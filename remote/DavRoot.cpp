#include "remote/DavRoot.h"

#include <curl/curl.h>

#include <cstdio>
#include <random>
#include <thread>

#include "platform/SystemError.h"
#include "remote/DavRequest.h"
#include "remote/DavUpload.h"
#include "remote/SecretPasswords.h"

namespace {

std::chrono::milliseconds g_claimPause{1000};

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

}  // namespace

CDavRoot::CDavRoot(RemoteAddress address) : CRemoteRoot(std::move(address)) {}

CDavRoot::~CDavRoot() = default;

void CDavRoot::SetClaimPause(std::chrono::milliseconds pause) { g_claimPause = pause; }

std::chrono::milliseconds CDavRoot::ClaimPause() { return g_claimPause; }

std::string CDavRoot::RandomToken(size_t digits) {
  std::random_device device;
  std::string token;
  while (token.size() < digits) {
    char part[16];
    std::snprintf(part, sizeof part, "%08x", device());
    token += part;
  }
  return token.substr(0, digits);
}

const NetrcLogin* CDavRoot::Login() {
  if (m_loginLooked) return m_login ? &*m_login : nullptr;
  m_loginLooked = true;
  NetrcLogin login;
  std::string netrcProblem;
  if (!FindNetrcLogin(Address().host, Address().user, login, netrcProblem) &&
      !FindSecretLogin(Address(), login)) {
    m_loginProblem = netrcProblem;
    return nullptr;
  }
  if (Address().scheme == RemoteAddress::Scheme::Dav && !Address().IsLoopback()) {
    m_loginProblem =
        "Quiver sends a password over plain http only to this "
        "computer; use davs:// "
        "to reach " +
        Address().host + ".";
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
  return "Put \"machine " + Address().host +
         " login USER password PASSWORD\" into ~/.netrc (chmod 600 ~/.netrc), "
         "or keep the "
         "password in the desktop's password store.";
}

std::unique_ptr<CDavRequest> CDavRoot::Request(const std::string& name) {
  return std::make_unique<CDavRequest>(Address().HttpUrl(name), Login());
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
      return Fail(code, "The certificate of " + Address().host + " is not trusted (" + why +
                            "); Quiver trusts the system's authorities and the cafile of "
                            "w3skua.ini.");
    }
    case CURLE_SSL_CONNECT_ERROR:
      return Fail(SEC_E_ILLEGAL_MESSAGE,
                  "No secure connection to " + Address().host + " could be made: " + why);
    default:
      return Fail(ERROR_UNEXP_NET_ERR, "The " + what + " failed: " + why + ".");
  }
}

bool CDavRoot::Succeeded(CDavRequest& request, const std::string& what, const std::string& name) {
  const std::string where = Address().Display() + name;
  if (request.CurlCode() != CURLE_OK) {
    TransportFailed(request, what + " of " + where);
    return false;
  }
  const long status = request.Status();
  if (status >= 200 && status < 300) return true;
  const std::string answered =
      where + ": the server answered " + std::to_string(status) + " to the " + what + ".";
  const bool writing = what == "upload" || what == "creation";
  switch (status) {
    case 401:
      return Fail(ERROR_ACCESS_DENIED, answered + " It asks for a password. " + LoginAdvice());
    case 403:
      return Fail(ERROR_ACCESS_DENIED, answered + " The server does not allow it.");
    case 404:
    case 409:
      return writing
                 ? Fail(ERROR_PATH_NOT_FOUND, answered + " The collection " + Address().Display() +
                                                  " does not exist on the server; create it first.")
                 : Fail(ERROR_FILE_NOT_FOUND, answered);
    case 405:
    case 501:
      return Fail(ERROR_ACCESS_DENIED,
                  answered + " Is WebDAV enabled for " + Address().path + " on that server?");
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

bool CDavRoot::ClaimFree(const NameSequence& names, unsigned& index, const std::string& token) {
  return CreateFirstFree(names, index, [&](const std::string& name) {
    auto claim = Request(name);
    claim->AddHeader("If-None-Match: *");
    claim->Put(token);
    claim->Perform();
    return Succeeded(*claim, "creation", name);
  });
}

bool CDavRoot::Holds(const std::string& name, const std::string& token, bool& holds) {
  auto check = Request(name);
  check->Perform();
  holds = Succeeded(*check, "read-back", name) && check->Body() == token;
  return holds || check->Status() == 200 || Code() == ERROR_FILE_NOT_FOUND;
}

std::unique_ptr<CRemoteUpload> CDavRoot::Create(const NameSequence& names) {
  const std::string token = "Quiver claims this name: " + RandomToken(32) + "\n";
  unsigned index = 0;
  if (!ClaimFree(names, index, token)) return nullptr;
  return std::make_unique<CDavUpload>(*this, names, index, token);
}

bool CDavRoot::Remove(const std::string& name) {
  auto request = Request(name);
  request->Delete();
  request->Perform();
  return Succeeded(*request, "deletion", name);
}

bool CDavRoot::Size(const std::string& name, int64_t& size) {
  auto request = Request(name);
  request->Head();
  request->Perform();
  if (!Succeeded(*request, "look-up", name)) return false;
  size = request->ContentLength();
  return size >= 0 ||
         Fail(ERROR_INVALID_DATA, Address().Display() + name + ": the server gave no size.");
}
