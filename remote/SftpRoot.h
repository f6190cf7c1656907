#pragma once
// An SFTP directory reached with libssh2 ("sftp://[user@]host[:port]/path/").
// The content streams into a hidden temporary file of the directory
// (".quiver-part-TOKEN"), which is renamed onto the first free name once
// complete (remote/SftpUpload.h): the rename refuses an existing target, so
// it holds under concurrency, and no reader ever sees part of the file.
// Logs in without prompts through ssh-agent or the user's key files, and
// trusts only host keys listed in ~/.ssh/known_hosts (remote/SftpSession.h).
//
// The connection opens on the first operation and serves every later one;
// after it broke, the next operation opens a new one.

#include <memory>
#include <string>

#include <libssh2_sftp.h>

#include "remote/PublishRoot.h"
#include "remote/RemoteAddress.h"

class CSftpSession;

class CSftpRoot : public CPublishRoot {
 public:
  explicit CSftpRoot(RemoteAddress address);
  ~CSftpRoot() override;

  std::string Display() const override { return m_address.Display(); }
  bool Connect() override;
  std::unique_ptr<CPublishUpload> Create(const NameSequence& names) override;
  bool Remove(const std::string& name) override;
  bool Discard(const std::string& workName) override;
  bool Look(const std::string& name, RootEntry& entry) override;
  bool CheckExclusive() override;

  std::string UnknownHostKey() const override { return m_unknownFingerprint; }
  std::string HostName() const override;
  bool TrustHostKey() override;

 private:
  // Opens the new file `name` for writing, with the server's exclusive
  // create; null, with the failure, when it cannot.
  LIBSSH2_SFTP_HANDLE* CreateExclusive(const std::string& name);

  RemoteAddress m_address;
  std::shared_ptr<CSftpSession> m_session;
  std::string m_unknownFingerprint;
  std::string m_unknownLine;
};
