#include "remote/SftpSession.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/SocketStopper.h"
#include "platform/StopEvent.h"
#include "platform/SystemError.h"
#include "remote/KnownHosts.h"

namespace {

constexpr int kConnectTimeoutMs = 15000;
// Every exchange with the server, a handshake or a write, ends within this.
constexpr long kExchangeTimeoutMs = 30000;

struct AddrInfoDeleter {
  void operator()(addrinfo* list) const { freeaddrinfo(list); }
};

struct AgentDeleter {
  void operator()(LIBSSH2_AGENT* agent) const {
    libssh2_agent_disconnect(agent);
    libssh2_agent_free(agent);
  }
};

// Connects the non-blocking socket `fd` within the time limit; false with
// `error` set otherwise, ECANCELED once `stop` is raised.
bool ConnectWithin(int fd, const addrinfo* address, const CStopEvent* stop, int& error) {
  if (connect(fd, address->ai_addr, address->ai_addrlen) == 0) return true;
  if (errno != EINPROGRESS) {
    error = errno;
    return false;
  }
  pollfd wait[2] = {{fd, POLLOUT, 0}, {stop ? stop->Fd() : -1, POLLIN, 0}};
  int ready;
  do {
    ready = poll(wait, 2, kConnectTimeoutMs);
  } while (ready < 0 && errno == EINTR);
  if (wait[1].revents & POLLIN) {
    error = ECANCELED;
    return false;
  }
  if (ready <= 0) {
    error = ready == 0 ? ETIMEDOUT : errno;
    return false;
  }
  socklen_t length = sizeof error;
  if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
  return error == 0;
}

std::string LocalUser() {
  const passwd* pw = getpwuid(geteuid());
  return pw && pw->pw_name ? pw->pw_name : "";
}

bool IsConnectionError(int error) {
  switch (error) {
    case LIBSSH2_ERROR_SOCKET_NONE:
    case LIBSSH2_ERROR_SOCKET_SEND:
    case LIBSSH2_ERROR_SOCKET_RECV:
    case LIBSSH2_ERROR_SOCKET_DISCONNECT:
    case LIBSSH2_ERROR_SOCKET_TIMEOUT:
    case LIBSSH2_ERROR_TIMEOUT:
    case LIBSSH2_ERROR_CHANNEL_CLOSED:
    case LIBSSH2_ERROR_CHANNEL_EOF_SENT:
      return true;
    default:
      return false;
  }
}

}  // namespace

CSftpSession::CSftpSession(RemoteAddress address) : m_address(std::move(address)) {
  static std::once_flag initialised;
  std::call_once(initialised, [] { libssh2_init(0); });
}

CSftpSession::~CSftpSession() {
  m_stopper.reset();
  if (m_sftp) libssh2_sftp_shutdown(m_sftp);
  if (m_session) {
    if (!m_broken) libssh2_session_disconnect(m_session, "Upload finished");
    libssh2_session_free(m_session);
  }
  if (m_socket >= 0) close(m_socket);
}

bool CSftpSession::Open() {
  if (!ConnectSocket()) return false;
  m_stopper = std::make_unique<CSocketStopper>(m_socket, CStopEvent::Current());
  m_session = libssh2_session_init();
  if (!m_session) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY, "No memory to connect to " + m_address.Display() + ".");
  }
  libssh2_session_set_blocking(m_session, 1);
  libssh2_session_set_timeout(m_session, kExchangeTimeoutMs);
  if (libssh2_session_handshake(m_session, m_socket) != 0) {
    m_broken = true;
    if (m_stopper->Stopped()) return Stopped();
    return Fail(ERROR_UNEXP_NET_ERR, "The SSH handshake with the server of " + m_address.Display() +
                                         " failed: " + LibraryError() + ".");
  }
  if (!CheckHostKey() || !Authenticate()) return false;
  m_sftp = libssh2_sftp_init(m_session);
  if (!m_sftp) {
    m_broken = true;
    if (m_stopper->Stopped()) return Stopped();
    return Fail(ERROR_UNEXP_NET_ERR, "The server of " + m_address.Display() +
                                         " did not start SFTP: " + LibraryError() + ".");
  }
  return true;
}

bool CSftpSession::ConnectSocket() {
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup =
      getaddrinfo(m_address.host.c_str(), std::to_string(m_address.port).c_str(), &hints, &found);
  if (lookup != 0) {
    return Fail(ERROR_UNEXP_NET_ERR, "Cannot find the server of " + m_address.Display() + ": " +
                                         gai_strerror(lookup) + ".");
  }
  const std::unique_ptr<addrinfo, AddrInfoDeleter> list(found);
  int error = 0;
  for (const addrinfo* address = found; address; address = address->ai_next) {
    const int fd = socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          address->ai_protocol);
    if (fd < 0) {
      error = errno;
      continue;
    }
    if (ConnectWithin(fd, address, CStopEvent::Current(), error)) {
      // SFTP answers each written piece; Nagle's delay would hold them back.
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      m_socket = fd;
      return true;
    }
    close(fd);
    if (error == ECANCELED) return Stopped();
  }
  return Fail(ERROR_UNEXP_NET_ERR, "Cannot connect to the server of " + m_address.Display() + ": " +
                                       std::strerror(error) + ".");
}

bool CSftpSession::CheckHostKey() {
  const std::string fingerprint = CKnownHosts::Fingerprint(m_session);
  const std::string file = CKnownHosts::Path();
  switch (CKnownHosts::Check(m_session, m_address.host, m_address.port)) {
    case CKnownHosts::Verdict::Known:
      return true;
    case CKnownHosts::Verdict::Changed:
      return Fail(ERROR_ACCESS_DENIED,
                  "WARNING: the SSH host key of " + m_address.host + " for " + m_address.Display() +
                      " has changed: someone may be impersonating the " +
                      "server. Its key is now " + fingerprint + ", not the one listed in " + file +
                      "; if the server's key was replaced on purpose, remove the old " +
                      "line from that file.");
    case CKnownHosts::Verdict::Unknown:
      break;
  }
  m_unknownLine = CKnownHosts::Line(m_session, m_address.host, m_address.port);
  if (!m_unknownLine.empty()) m_unknownFingerprint = fingerprint;
  return Fail(ERROR_ACCESS_DENIED, "The SSH server " + m_address.host + " of " +
                                       m_address.Display() + " is unknown: its host key " +
                                       fingerprint + " is not listed in " + file +
                                       ". Trust it only once the server's administrator " +
                                       "confirms that fingerprint, then add it with ssh-keyscan -p " +
                                       std::to_string(m_address.port) + " " + m_address.host +
                                       " >> " + file + " (or answer Yes where Quiver asks).");
}

bool CSftpSession::Authenticate() {
  const std::string user = m_address.user.empty() ? LocalUser() : m_address.user;
  const auto userLength = static_cast<unsigned int>(user.size());
  // Asking for the methods opens the exchange; a server that needs no
  // credentials lets the user in there and then.
  libssh2_userauth_list(m_session, user.c_str(), userLength);
  if (libssh2_userauth_authenticated(m_session)) return true;
  if (IsConnectionError(libssh2_session_last_errno(m_session))) return NetworkFailed("log in");
  const char* agentSocket = std::getenv("SSH_AUTH_SOCK");
  if (agentSocket && *agentSocket && AuthenticateWithAgent(user)) return true;
  for (const char* name : {"id_ed25519", "id_ecdsa", "id_rsa"}) {
    const std::string key = CKnownHosts::Folder() + "/" + name;
    if (access(key.c_str(), R_OK) != 0) continue;
    // An empty passphrase, never none: without one OpenSSL would prompt.
    if (libssh2_userauth_publickey_fromfile_ex(m_session, user.c_str(), userLength, nullptr,
                                               key.c_str(), "") == 0) {
      return true;
    }
    if (IsConnectionError(libssh2_session_last_errno(m_session))) return NetworkFailed("log in");
  }
  if (m_stopper->Stopped()) return Stopped();
  return Fail(ERROR_ACCESS_DENIED,
              "The server of " + m_address.Display() + " refused the user " + user +
                  ": Quiver logs in with the keys of ssh-agent or with ~/.ssh/id_ed25519, " +
                  "id_ecdsa or id_rsa without passphrase (add a key with a passphrase to " +
                  "ssh-agent).");
}

bool CSftpSession::AuthenticateWithAgent(const std::string& user) {
  const std::unique_ptr<LIBSSH2_AGENT, AgentDeleter> agent(libssh2_agent_init(m_session));
  if (!agent || libssh2_agent_connect(agent.get()) != 0 ||
      libssh2_agent_list_identities(agent.get()) != 0) {
    return false;
  }
  libssh2_agent_publickey* previous = nullptr;
  libssh2_agent_publickey* identity = nullptr;
  while (libssh2_agent_get_identity(agent.get(), &identity, previous) == 0) {
    if (libssh2_agent_userauth(agent.get(), user.c_str(), identity) == 0) return true;
    previous = identity;
  }
  return false;
}

bool CSftpSession::Unlink(const std::string& name) {
  return libssh2_sftp_unlink(m_sftp, PathOf(name).c_str()) == 0 ||
         SftpFailed("remove \"" + name + "\"", name);
}

bool CSftpSession::Rename(const std::string& from, const std::string& to) {
  const std::string source = PathOf(from), target = PathOf(to);
  // No flags: servers of protocol version 5 and later then refuse an
  // existing target too; version 3 servers take none.
  return libssh2_sftp_rename_ex(m_sftp, source.c_str(), static_cast<unsigned>(source.size()),
                                target.c_str(), static_cast<unsigned>(target.size()), 0) == 0 ||
         SftpFailed("rename \"" + from + "\" to \"" + to + "\"", to, true);
}

bool CSftpSession::SftpFailed(const std::string& action, const std::string& name, bool creating) {
  if (libssh2_session_last_errno(m_session) != LIBSSH2_ERROR_SFTP_PROTOCOL) {
    return NetworkFailed(action);
  }
  const unsigned long status = libssh2_sftp_last_error(m_sftp);
  const std::string root = m_address.Display();
  const std::string taken = root + " already holds a file named \"" + name + "\".";
  switch (status) {
    case LIBSSH2_FX_FILE_ALREADY_EXISTS:
      return Fail(ERROR_FILE_EXISTS, taken);
    case LIBSSH2_FX_FAILURE: {
      // SFTP version 3 servers answer an exclusive create of a taken name
      // with this generic status.
      LIBSSH2_SFTP_ATTRIBUTES attributes;
      if (creating && libssh2_sftp_lstat(m_sftp, PathOf(name).c_str(), &attributes) == 0) {
        return Fail(ERROR_FILE_EXISTS, taken);
      }
      break;
    }
    case LIBSSH2_FX_NO_SUCH_FILE:
    case LIBSSH2_FX_NO_SUCH_PATH:
      if (creating) {
        return Fail(ERROR_PATH_NOT_FOUND, "The directory of " + root + " does not exist.");
      }
      return Fail(ERROR_FILE_NOT_FOUND, root + " holds no file named \"" + name + "\".");
    case LIBSSH2_FX_PERMISSION_DENIED:
    case LIBSSH2_FX_WRITE_PROTECT:
      return Fail(ERROR_ACCESS_DENIED,
                  "The server of " + root + " denied permission to " + action + ".");
    case LIBSSH2_FX_NO_SPACE_ON_FILESYSTEM:
    case LIBSSH2_FX_QUOTA_EXCEEDED:
      return Fail(ERROR_DISK_FULL, "The server of " + root + " has no room to " + action + ".");
    case LIBSSH2_FX_NO_CONNECTION:
    case LIBSSH2_FX_CONNECTION_LOST:
      return NetworkFailed(action);
  }
  return Fail(ERROR_GEN_FAILURE, "The server of " + root + " could not " + action +
                                     " (SFTP status " + std::to_string(status) + ").");
}

bool CSftpSession::Stopped() {
  m_broken = true;
  return Fail(ERROR_CANCELLED, "The exchange with the server of " + m_address.Display() +
                                   " was stopped.");
}

bool CSftpSession::NetworkFailed(const std::string& action) {
  m_broken = true;
  if (m_stopper && m_stopper->Stopped()) return Stopped();
  return Fail(ERROR_UNEXP_NET_ERR, "The connection to the server of " + m_address.Display() +
                                       " broke while trying to " + action + ": " + LibraryError() +
                                       ".");
}

std::string CSftpSession::LibraryError() const {
  char* message = nullptr;
  int length = 0;
  libssh2_session_last_error(m_session, &message, &length, 0);
  return message && length > 0 ? std::string(message, static_cast<size_t>(length))
                               : "no reason given";
}
