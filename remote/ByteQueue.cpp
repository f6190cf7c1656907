#include "remote/ByteQueue.h"

#include <algorithm>
#include <cstring>

CByteQueue::CByteQueue(size_t capacity) : m_ring(capacity) {}

bool CByteQueue::Push(const uint8_t* bytes, size_t length) {
  std::unique_lock lock(m_mutex);
  while (length > 0) {
    m_changed.wait(lock, [&] { return m_aborted || m_size < m_ring.size(); });
    if (m_aborted) return false;
    const size_t tail = (m_head + m_size) % m_ring.size();
    const size_t n = std::min({length, m_ring.size() - m_size, m_ring.size() - tail});
    std::memcpy(m_ring.data() + tail, bytes, n);
    m_size += n;
    bytes += n;
    length -= n;
    m_changed.notify_all();
  }
  return true;
}

ptrdiff_t CByteQueue::Pop(uint8_t* out, size_t length) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [&] { return m_aborted || m_closed || m_size > 0; });
  if (m_aborted) return -1;
  const size_t n = std::min({length, m_size, m_ring.size() - m_head});
  std::memcpy(out, m_ring.data() + m_head, n);
  m_head = (m_head + n) % m_ring.size();
  m_size -= n;
  m_changed.notify_all();
  return static_cast<ptrdiff_t>(n);
}

void CByteQueue::Close() {
  std::lock_guard lock(m_mutex);
  m_closed = true;
  m_changed.notify_all();
}

void CByteQueue::Abort() {
  std::lock_guard lock(m_mutex);
  m_aborted = true;
  m_changed.notify_all();
}

bool CByteQueue::Aborted() const {
  std::lock_guard lock(m_mutex);
  return m_aborted;
}
