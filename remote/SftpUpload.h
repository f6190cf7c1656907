#pragma once
// The bytes of one new file on an SFTP server (remote/PublishUpload.h). They
// go to a hidden temporary file in the root's directory, which Finish
// renames onto the first free name: SSH_FXP_RENAME refuses a target that
// exists, so the file appears whole and over nothing. Writes are gathered
// into pieces of kPieceSize and each piece goes out in one libssh2 write,
// which keeps many SFTP requests in flight: small writes each wait for the
// server's answer and crawl over any distance. Memory stays within about
// two pieces, whatever the file's size.
//
// Any failed step removes the temporary file; when the connection broke, a
// new one is made for that. The upload shares the root's connection and
// may outlive it.

#include <libssh2_sftp.h>

#include <memory>
#include <string>
#include <vector>

#include "remote/PublishRoot.h"
#include "remote/SftpSession.h"

class CSftpUpload : public CPublishUpload {
 public:
  static constexpr size_t kPieceSize = 2 << 20;

  // Takes over `handle`, the open temporary file `workName` in the
  // session's directory, which Finish renames to the first free of `names`.
  CSftpUpload(std::shared_ptr<CSftpSession> session, LIBSSH2_SFTP_HANDLE* handle,
              std::string workName, CPublishRoot::NameSequence names);
  ~CSftpUpload() override;
  CSftpUpload(const CSftpUpload&) = delete;
  CSftpUpload& operator=(const CSftpUpload&) = delete;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Finish() override;
  bool Abort() override;
  std::string Name() const override { return m_names(m_index); }
  std::string WorkName() const override { return m_workName; }

 private:
  bool Ended();
  bool Flush();
  // Renames the finished file onto the first free name from m_index on.
  bool Publish();
  bool Failed(const std::string& action);
  bool Removed(CStatus failure);
  bool Unlink(CSftpSession& session);
  // Records that the file stays on the server, and why, after any failure
  // already recorded; returns false.
  bool Stays(const CStatus& why);

  std::shared_ptr<CSftpSession> m_session;
  LIBSSH2_SFTP_HANDLE* m_handle;
  std::string m_workName;
  CPublishRoot::NameSequence m_names;
  unsigned m_index = 0;
  std::vector<char> m_buffer;
  bool m_ended = false;
  bool m_stays = false;  // the temporary file could not be removed
};
