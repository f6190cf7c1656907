#pragma once
// The bytes of one new file on an SFTP server (remote/RemoteUpload.h). Writes
// are gathered into pieces of kPieceSize and each piece goes out in one
// libssh2 write, which keeps many SFTP requests in flight: small writes each
// wait for the server's answer and crawl over any distance. Memory stays
// within about two pieces, whatever the file's size.
//
// Any failed step removes the file; when the connection broke, a new one is
// made for that. A file that still cannot be removed is named in Error() and
// LeftOver(). The upload shares the root's connection and may outlive it.

#include <libssh2_sftp.h>

#include <memory>
#include <string>
#include <vector>

#include "remote/RemoteUpload.h"
#include "remote/SftpSession.h"

class CSftpUpload : public CRemoteUpload {
 public:
  static constexpr size_t kPieceSize = 2 << 20;

  // Takes over `handle`, the open file `name` in the session's directory.
  CSftpUpload(std::shared_ptr<CSftpSession> session, LIBSSH2_SFTP_HANDLE* handle, std::string name);
  ~CSftpUpload() override;
  CSftpUpload(const CSftpUpload&) = delete;
  CSftpUpload& operator=(const CSftpUpload&) = delete;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Finish() override;
  bool Abort() override;
  std::string Name() const override { return m_name; }
  std::vector<std::string> LeftOver() const override;

 private:
  bool Ended();
  bool Flush();
  bool Failed(const std::string& action);
  bool Unlink(CSftpSession& session);
  // Records that the file stays on the server, and why, after any failure
  // already recorded; returns false.
  bool Stays(const CRemoteFailure& why);

  std::shared_ptr<CSftpSession> m_session;
  LIBSSH2_SFTP_HANDLE* m_handle;
  std::string m_name;
  std::vector<char> m_buffer;
  bool m_ended = false;
  bool m_stays = false;  // the file could not be removed
};
