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
      m_temporary("quiver-upload-" + CDavRoot::RandomToken(24) + ".tmp"),
      m_queue(kQueueBytes),
      m_request(root.Request(m_temporary)) {
  m_request->AddHeader("If-None-Match: *");
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
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + Name() + " has ended.");
  // Checked as soon as the pause allows, so that a server lost later leaves
  // a claim known to be this upload's, and a lost claim is replaced early.
  if (!m_owned && std::chrono::steady_clock::now() >= m_claimed + CDavRoot::ClaimPause() &&
      !Own()) {
    return false;
  }
  if (m_queue.Push(bytes, length)) return true;
  // The request ended before its body did: refused, or the connection broke.
  if (Join()) {
    return Fail(ERROR_UNEXP_NET_ERR, "The server ended the upload of " + Name() + " early.");
  }
  return Fail(m_root);
}

bool CDavUpload::Join() {
  if (m_thread.joinable()) m_thread.join();
  return m_root.Succeeded(*m_request, "upload", m_temporary);
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

bool CDavUpload::Finish() {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + Name() + " has ended.");
  m_queue.Close();
  if (Join() && Own() && m_root.Move(m_temporary, Name())) {
    m_ended = true;
    return true;
  }
  // Joining, checking the claim and moving each leave their failure in the
  // root; what the abort cannot remove is said after it.
  Fail(m_root);
  Abort();
  return false;
}

bool CDavUpload::Discard(const std::string& name) {
  if (m_root.Remove(name) || m_root.Code() == ERROR_FILE_NOT_FOUND) return true;
  m_leftOver.push_back(name);
  return Fail(m_root.Code(), (Error().empty() ? "" : Error() + " ") + m_root.Error() +
                                 " The file " + name + " stays there.");
}

bool CDavUpload::Abort() {
  if (m_ended) return m_leftOver.empty();
  m_ended = true;
  m_queue.Abort();
  if (m_thread.joinable()) m_thread.join();
  bool ok = Discard(m_temporary);
  // A claim not yet checked may be another sender's by now: only this
  // upload's own token is removed. A server out of reach cannot tell.
  if (!m_owned && ok && !m_root.Holds(Name(), m_token, m_owned)) return Fail(m_root);
  if (m_owned) ok = Discard(Name()) && ok;
  return ok;
}
