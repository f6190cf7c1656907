#pragma once
// An SFTP directory reached with libssh2 ("sftp://[user@]host[:port]/path/").
// Each name is tried with the server's exclusive create (open with O_EXCL),
// which holds under concurrency, and the content streams into the first
// file so made (remote/SftpUpload.h).
// Logs in without prompts through ssh-agent or the user's key files, and
// trusts only host keys listed in ~/.ssh/known_hosts (remote/SftpSession.h).
//
// The connection opens on the first operation and serves every later one;
// after it broke, the next operation opens a new one.

#include <memory>
#include <string>

#include "remote/RemoteRoot.h"

class CSftpSession;

class CSftpRoot : public CRemoteRoot {
 public:
  explicit CSftpRoot(RemoteAddress address);
  ~CSftpRoot() override;

  bool Connect() override;
  std::unique_ptr<CRemoteUpload> Create(const NameSequence& names) override;
  bool Remove(const std::string& name) override;
  bool Size(const std::string& name, int64_t& size) override;

  std::string UnknownHostKey() const override { return m_unknownFingerprint; }
  bool TrustHostKey() override;

 private:
  // Creates `name` with the server's exclusive create; ERROR_FILE_EXISTS
  // when it is taken.
  std::unique_ptr<CRemoteUpload> CreateExclusive(const std::string& name);

  std::shared_ptr<CSftpSession> m_session;
  std::string m_unknownFingerprint;
  std::string m_unknownLine;
};
