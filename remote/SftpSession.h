#pragma once
// One SSH connection with its SFTP channel, for one remote root: the TCP
// connection (the host's addresses in the order getaddrinfo gives them), the
// handshake, the host key checked against ~/.ssh/known_hosts, and
// authentication without prompts (ssh-agent, then ~/.ssh/id_ed25519,
// id_ecdsa and id_rsa without passphrase). Blocking, with a 30 second limit
// on every exchange, so that a stalled server cannot hold a send forever;
// the stop event current when it opens (platform/StopEvent.h) breaks the
// connection at once, and every call then fails with ERROR_CANCELLED.
//
// Failures (platform/Status.h) name the root as its address displays
// it. Once the connection broke, Broken() is true and every later call
// fails; the root then opens a new session.

#include <libssh2.h>
#include <libssh2_sftp.h>

#include <memory>
#include <string>

#include "platform/SocketStopper.h"

#include "remote/RemoteAddress.h"
#include "platform/Status.h"

class CSftpSession : public CStatus {
 public:
  explicit CSftpSession(RemoteAddress address);
  ~CSftpSession();
  CSftpSession(const CSftpSession&) = delete;
  CSftpSession& operator=(const CSftpSession&) = delete;

  // Connects, checks the host key, logs in and starts SFTP. False on
  // failure: ERROR_UNEXP_NET_ERR when the server cannot be reached,
  // ERROR_ACCESS_DENIED for an unknown or changed host key or refused keys.
  bool Open();

  // After Open failed on a host key that known_hosts does not list (never
  // one that changed): its fingerprint and the known_hosts line for it;
  // else empty.
  const std::string& UnknownKeyFingerprint() const { return m_unknownFingerprint; }
  const std::string& UnknownKeyLine() const { return m_unknownLine; }

  LIBSSH2_SFTP* Sftp() const { return m_sftp; }
  bool Broken() const { return m_broken; }
  const RemoteAddress& Address() const { return m_address; }
  // The full server path of the file `name` in the root's directory.
  std::string PathOf(const std::string& name) const { return m_address.path + name; }

  // Deletes the file `name`, or records why it could not (SftpFailed).
  bool Unlink(const std::string& name);
  // Renames the file `from` to `to` with plain SSH_FXP_RENAME, which
  // refuses a `to` that exists (ERROR_FILE_EXISTS) where the server keeps to
  // the protocol; CSftpRoot::CheckExclusive makes sure it does.
  bool Rename(const std::string& from, const std::string& to);
  // Records the failure of the SFTP call just made for the file `name`, in
  // the words "could not <action>": the server's status (ERROR_FILE_EXISTS,
  // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND when `creating` and the
  // directory is missing, ERROR_ACCESS_DENIED, ERROR_DISK_FULL,
  // ERROR_GEN_FAILURE) or a broken connection (ERROR_UNEXP_NET_ERR).
  // Returns false.
  bool SftpFailed(const std::string& action, const std::string& name, bool creating = false);

 private:
  bool ConnectSocket();
  bool CheckHostKey();
  bool Authenticate();
  bool AuthenticateWithAgent(const std::string& user);
  bool NetworkFailed(const std::string& action);
  bool Stopped();
  std::string LibraryError() const;

  RemoteAddress m_address;
  int m_socket = -1;
  LIBSSH2_SESSION* m_session = nullptr;
  LIBSSH2_SFTP* m_sftp = nullptr;
  std::unique_ptr<CSocketStopper> m_stopper;
  bool m_broken = false;
  std::string m_unknownFingerprint;
  std::string m_unknownLine;
};
