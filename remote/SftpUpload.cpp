#include "remote/SftpUpload.h"

#include <algorithm>
#include <utility>

#include "platform/StopEvent.h"
#include "platform/SystemError.h"

CSftpUpload::CSftpUpload(std::shared_ptr<CSftpSession> session, LIBSSH2_SFTP_HANDLE* handle,
                         std::string workName, CPublishRoot::NameSequence names)
    : m_session(std::move(session)),
      m_handle(handle),
      m_workName(std::move(workName)),
      m_names(std::move(names)) {}

CSftpUpload::~CSftpUpload() {
  if (!m_ended) Abort();
}

bool CSftpUpload::Write(const uint8_t* bytes, size_t length) {
  if (m_ended) return Ended();
  if (length > 0 && m_buffer.capacity() < kPieceSize) m_buffer.reserve(kPieceSize);
  while (length > 0) {
    const size_t take = std::min(length, kPieceSize - m_buffer.size());
    m_buffer.insert(m_buffer.end(), bytes, bytes + take);
    bytes += take;
    length -= take;
    if (m_buffer.size() == kPieceSize && !Flush()) return false;
  }
  return true;
}

bool CSftpUpload::Finish() {
  if (m_ended) return Ended();
  if (!Flush()) return false;
  // The server reports a failed write of buffered data when it closes.
  if (libssh2_sftp_close_handle(std::exchange(m_handle, nullptr)) != 0) {
    return Failed("finish \"" + m_workName + "\"");
  }
  std::vector<char>().swap(m_buffer);
  if (!Publish()) return false;
  m_ended = true;
  return true;
}

bool CSftpUpload::Publish() {
  for (;; ++m_index) {
    const std::string name = m_names(m_index);
    if (name.empty()) {
      const std::string first = m_names(0);
      Abort();
      return Fail(ERROR_TOO_MANY_OPEN_FILES, "Every name for " + first + " is taken in " +
                                                 m_session->Address().Display() + ".");
    }
    if (m_session->Rename(m_workName, name)) return true;
    if (m_session->Code() != ERROR_FILE_EXISTS) return Removed(m_session->Status());
  }
}

bool CSftpUpload::Abort() {
  if (m_ended) return !m_stays;
  // Removing the partial file must not be stopped itself.
  const CStopEvent::Scope unstoppable(nullptr);
  m_ended = true;
  std::vector<char>().swap(m_buffer);
  if (m_handle) libssh2_sftp_close_handle(std::exchange(m_handle, nullptr));
  if (!m_session->Broken()) return Unlink(*m_session);
  CSftpSession fresh(m_session->Address());
  if (!fresh.Open()) {
    return Stays(fresh);
  }
  return Unlink(fresh);
}

// Once ended, a failure stays as it was and anything else is refused.
bool CSftpUpload::Ended() {
  if (Code() != 0) return false;
  return Fail(ERROR_INVALID_FUNCTION, "The upload of \"" + Name() + "\" to " +
                                          m_session->Address().Display() + " has ended.");
}

bool CSftpUpload::Flush() {
  const char* data = m_buffer.data();
  size_t left = m_buffer.size();
  while (left > 0) {
    const ssize_t sent = libssh2_sftp_write(m_handle, data, left);
    if (sent < 0) return Failed("write \"" + m_workName + "\"");
    data += sent;
    left -= static_cast<size_t>(sent);
  }
  m_buffer.clear();
  return true;
}

// Records the failure of a transfer step, then removes the file.
bool CSftpUpload::Failed(const std::string& action) {
  m_session->SftpFailed(action, m_workName);
  return Removed(m_session->Status());
}

// Removes the file after the failure `failure`, which it then reports.
bool CSftpUpload::Removed(CStatus failure) {
  const std::string removal = Abort() ? "" : " " + Error();
  return Fail(failure.Code(), failure.Error() + removal);
}

bool CSftpUpload::Unlink(CSftpSession& session) {
  if (session.Unlink(m_workName) || session.Code() == ERROR_FILE_NOT_FOUND) return true;
  return Stays(session);
}

bool CSftpUpload::Stays(const CStatus& why) {
  m_stays = true;
  return Fail(why.Code(), (Error().empty() ? "" : Error() + " ") + "The partial file \"" +
                              m_workName + "\" stays on the server: " + why.Error());
}
