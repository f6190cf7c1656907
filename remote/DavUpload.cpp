#include "remote/DavUpload.h"

#include "platform/SystemError.h"
#include "remote/DavRequest.h"
#include "remote/DavRoot.h"

namespace {

constexpr size_t kQueueBytes = 4 * 1024 * 1024;

}  // namespace

CDavUpload::CDavUpload(CDavRoot& root, std::string name)
    : m_root(root), m_name(std::move(name)), m_queue(kQueueBytes) {}

CDavUpload::~CDavUpload() {
  if (!m_ended) Abort();
}

void CDavUpload::Start() {
  if (m_request) return;
  m_request = m_root.Request(m_name);
  m_request->PutStream([this](uint8_t* out, size_t length) { return m_queue.Pop(out, length); });
  m_request->StopWhen([this] { return m_queue.Aborted() || (m_stop && m_stop()); });
  m_request->OnSent([this](uint64_t sent) {
    if (m_delivered) m_delivered(m_written.load(), sent);
  });
  m_thread = std::thread([this] {
    m_request->Perform();
    // Whatever ended the request, the writer must not wait for room again.
    m_queue.Abort();
  });
}

void CDavUpload::Follow(StopProbe stop, DeliveryNote delivered) {
  m_stop = std::move(stop);
  m_delivered = std::move(delivered);
}

bool CDavUpload::Write(const uint8_t* bytes, size_t length) {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + m_name + " has ended.");
  Start();
  m_written += length;
  if (m_queue.Push(bytes, length)) return true;
  // The request ended before its body did: refused, or the connection broke.
  const bool stored = Join();
  const CStatus why = m_root.Status();
  Abort();
  if (stored) {
    return Fail(ERROR_UNEXP_NET_ERR, "The server ended the upload of " + m_name + " early.");
  }
  return Fail(why.Code(), why.Error() + (Error().empty() ? "" : " " + Error()));
}

bool CDavUpload::Join() {
  if (m_thread.joinable()) m_thread.join();
  return m_root.Succeeded(*m_request, "upload", m_name);
}

bool CDavUpload::Finish() {
  if (m_ended) return Fail(ERROR_INVALID_HANDLE, "The upload of " + m_name + " has ended.");
  Start();
  m_queue.Close();
  if (Join()) {
    m_ended = true;
    // A claim that cannot be deleted now keeps nobody from the name, which
    // the file holds from here on.
    m_root.Release(m_name);
    return true;
  }
  const CStatus why = m_root.Status();
  Abort();
  return Fail(why.Code(), why.Error() + (Error().empty() ? "" : " " + Error()));
}

bool CDavUpload::Abort() {
  if (m_ended) return !m_stays;
  m_ended = true;
  m_queue.Abort();
  if (m_thread.joinable()) m_thread.join();
  // The claim still holds the name, so whatever it serves is this upload's.
  if (m_root.Discard(m_name)) return true;
  m_stays = true;
  return Fail(m_root.Code(), m_root.Error() + " What the upload left under " + m_name + " stays there.");
}
