#include "remote/DavUpload.h"

#include "platform/SystemError.h"
#include "remote/DavRequest.h"
#include "remote/DavRoot.h"

namespace {

constexpr size_t kQueueBytes = 4 * 1024 * 1024;

}  // namespace

CDavUpload::CDavUpload(CDavRoot& root, std::string name)
    : m_root(root), m_name(std::move(name)), m_queue(kQueueBytes), m_request(root.Request(m_name)) {
  m_request->PutStream([this](uint8_t* out, size_t length) { return m_queue.Pop(out, length); });
  m_request->StopWhen([this] { return m_queue.Aborted(); });
  m_thread = std::thread([this] {
    m_request->Perform();
    // Whatever ended the request, the writer must not wait for room again.
    m_queue.Abort();
  });
}

CDavUpload::~CDavUpload() {
  if (!m_ended) Abort();
}

bool CDavUpload::Write(const uint8_t* bytes, size_t length) {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + m_name + " has ended.");
  if (m_queue.Push(bytes, length)) return true;
  // The request ended before its body did: refused, or the connection broke.
  if (Join())
    return Fail(ERROR_UNEXP_NET_ERR, "The server ended the upload of " + m_name + " early.");
  return Fail(m_root);
}

bool CDavUpload::Join() {
  if (m_thread.joinable()) m_thread.join();
  return m_root.Succeeded(*m_request, "upload", m_name);
}

bool CDavUpload::Finish() {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + m_name + " has ended.");
  m_queue.Close();
  if (Join()) {
    m_ended = true;
    return true;
  }
  const CRemoteFailure failure = m_root;
  Abort();
  return Fail(failure);
}

bool CDavUpload::Abort() {
  if (m_ended) return true;
  m_ended = true;
  m_queue.Abort();
  if (m_thread.joinable()) m_thread.join();
  if (m_root.Remove(m_name) || m_root.Code() == ERROR_FILE_NOT_FOUND) return true;
  return Fail(m_root.Code(), m_root.Error() + " The partial file " + m_name + " stays there.");
}
