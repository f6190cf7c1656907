#include "remote/DavUpload.h"

#include "platform/SystemError.h"
#include "remote/DavRequest.h"
#include "remote/DavRoot.h"

namespace {

constexpr size_t kQueueBytes = 4 * 1024 * 1024;

}  // namespace

CDavUpload::CDavUpload(CDavRoot& root, CRemoteRoot::NameSequence names, unsigned index,
                       std::string token)
    : m_root(root),
      m_names(std::move(names)),
      m_index(index),
      m_token(std::move(token)),
      m_claimed(std::chrono::steady_clock::now()),
      m_queue(kQueueBytes) {}

CDavUpload::~CDavUpload() {
  if (!m_ended) Abort();
}

bool CDavUpload::Start() {
  if (m_request) return true;
  if (!Own()) return false;
  m_request = m_root.Request(Name());
  m_request->PutStream([this](uint8_t* out, size_t length) { return m_queue.Pop(out, length); });
  m_request->StopWhen([this] { return m_queue.Aborted(); });
  m_thread = std::thread([this] {
    m_request->Perform();
    // Whatever ended the request, the writer must not wait for room again.
    m_queue.Abort();
  });
  return true;
}

bool CDavUpload::Own() {
  while (!m_owned) {
    std::this_thread::sleep_until(m_claimed + CDavRoot::ClaimPause());
    if (!m_root.Holds(Name(), m_token, m_owned)) return Fail(m_root);
    if (m_owned) break;
    ++m_index;
    if (!m_root.ClaimFree(m_names, m_index, m_token)) return Fail(m_root);
    m_claimed = std::chrono::steady_clock::now();
  }
  return true;
}

bool CDavUpload::Write(const uint8_t* bytes, size_t length) {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + Name() + " has ended.");
  if (!Start()) return false;
  if (m_queue.Push(bytes, length)) return true;
  // The request ended before its body did: refused, or the connection broke.
  if (Join()) {
    return Fail(ERROR_UNEXP_NET_ERR, "The server ended the upload of " + Name() + " early.");
  }
  return Fail(m_root);
}

bool CDavUpload::Join() {
  if (m_thread.joinable()) m_thread.join();
  return m_root.Succeeded(*m_request, "upload", Name());
}

bool CDavUpload::Finish() {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + Name() + " has ended.");
  if (Start()) {
    m_queue.Close();
    if (Join()) {
      m_ended = true;
      return true;
    }
    // The request leaves its failure in the root; what the abort cannot
    // remove is said after it.
    Fail(m_root);
  }
  Abort();
  return false;
}

bool CDavUpload::Abort() {
  if (m_ended) return m_leftOver.empty();
  m_ended = true;
  m_queue.Abort();
  if (m_thread.joinable()) m_thread.join();
  // A claim not yet checked may be another sender's by now: only this
  // upload's own token is removed. When the server cannot tell, whoever
  // owns the claim keeps it.
  if (!m_owned && !m_root.Holds(Name(), m_token, m_owned)) return true;
  if (!m_owned || m_root.Remove(Name()) || m_root.Code() == ERROR_FILE_NOT_FOUND) return true;
  m_leftOver.push_back(Name());
  return Fail(m_root.Code(), (Error().empty() ? "" : Error() + " ") + m_root.Error() +
                                 " The file " + Name() + " stays there.");
}
