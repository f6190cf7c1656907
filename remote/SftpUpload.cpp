#include "remote/SftpUpload.h"

#include <algorithm>
#include <utility>

#include "platform/SystemError.h"

CSftpUpload::CSftpUpload(std::shared_ptr<CSftpSession> session, LIBSSH2_SFTP_HANDLE* handle,
                         std::string name)
    : m_session(std::move(session)), m_handle(handle), m_name(std::move(name)) {}

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
    return Failed("finish \"" + m_name + "\"");
  }
  m_ended = true;
  std::vector<char>().swap(m_buffer);
  return true;
}

bool CSftpUpload::Abort() {
  if (m_ended) return !m_stays;
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

std::vector<std::string> CSftpUpload::LeftOver() const {
  return m_stays ? std::vector<std::string>{m_name} : std::vector<std::string>{};
}

// Once ended, a failure stays as it was and anything else is refused.
bool CSftpUpload::Ended() {
  if (Code() != 0) return false;
  return Fail(ERROR_INVALID_FUNCTION, "The upload of \"" + m_name + "\" to " +
                                          m_session->Address().Display() + " has ended.");
}

bool CSftpUpload::Flush() {
  const char* data = m_buffer.data();
  size_t left = m_buffer.size();
  while (left > 0) {
    const ssize_t sent = libssh2_sftp_write(m_handle, data, left);
    if (sent < 0) return Failed("write \"" + m_name + "\"");
    data += sent;
    left -= static_cast<size_t>(sent);
  }
  m_buffer.clear();
  return true;
}

// Records the failure of a transfer step, then removes the file.
bool CSftpUpload::Failed(const std::string& action) {
  m_session->SftpFailed(action, m_name);
  const CRemoteFailure failure = *m_session;
  const std::string removal = Abort() ? "" : " " + Error();
  return Fail(failure.Code(), failure.Error() + removal);
}

bool CSftpUpload::Unlink(CSftpSession& session) {
  if (session.Unlink(m_name) || session.Code() == ERROR_FILE_NOT_FOUND) return true;
  return Stays(session);
}

bool CSftpUpload::Stays(const CRemoteFailure& why) {
  m_stays = true;
  return Fail(why.Code(), (Error().empty() ? "" : Error() + " ") + "The partial file \"" + m_name +
                              "\" stays on the server: " + why.Error());
}
