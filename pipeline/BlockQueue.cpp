#include "pipeline/BlockQueue.h"

#include "platform/SystemError.h"

bool CBlockQueue::Push(Block& block) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_waiting.size() + m_handling < m_depth || m_failure; });
  if (m_failure) return false;
  m_waiting.push_back(std::move(block));
  block = Block();
  if (!m_spare.empty()) {
    block = std::move(m_spare.back());
    m_spare.pop_back();
  }
  lock.unlock();
  m_changed.notify_all();
  return true;
}

bool CBlockQueue::Pop(Block& block) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return !m_waiting.empty() || m_closed || m_failure; });
  if (m_failure || m_waiting.empty()) return false;
  block = std::move(m_waiting.front());
  m_waiting.pop_front();
  ++m_handling;
  return true;
}

void CBlockQueue::Done(Block& block) {
  {
    std::lock_guard lock(m_mutex);
    m_spare.push_back(std::move(block));
    --m_handling;
  }
  block = Block();
  m_changed.notify_all();
}

void CBlockQueue::Close() {
  {
    std::lock_guard lock(m_mutex);
    m_closed = true;
  }
  m_changed.notify_all();
}

bool CBlockQueue::Drain() {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return (m_waiting.empty() && m_handling == 0) || m_failure; });
  return m_failure == 0;
}

void CBlockQueue::Fail(uint32_t error) {
  {
    std::lock_guard lock(m_mutex);
    if (m_failure) return;
    m_failure = error != 0 ? error : ERROR_GEN_FAILURE;
    m_waiting.clear();
  }
  m_changed.notify_all();
}

uint32_t CBlockQueue::Failure() {
  std::lock_guard lock(m_mutex);
  return m_failure;
}
