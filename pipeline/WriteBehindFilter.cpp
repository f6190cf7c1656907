#include "pipeline/WriteBehindFilter.h"

#include <optional>

#include "pipeline/Progress.h"
#include "platform/SystemError.h"

CWriteBehindFilter::CWriteBehindFilter(CFilter* next) : CFilter(next) {
  m_gathering.reserve(kGather + kBlockSize);
  m_thread = std::thread([this, progress = CProgress::Current()] { WriteBlocks(progress); });
}

CWriteBehindFilter::~CWriteBehindFilter() {
  {
    std::lock_guard lock(m_mutex);
    m_closing = true;
    // The block being written stays until its Write returns.
    if (m_waiting.size() > 1) m_waiting.erase(m_waiting.begin() + 1, m_waiting.end());
    if (!m_writing) m_waiting.clear();
  }
  m_changed.notify_all();
  m_thread.join();
}

bool CWriteBehindFilter::Write(const uint8_t* bytes, size_t length) {
  if (Failed()) return false;
  m_gathering.insert(m_gathering.end(), bytes, bytes + length);
  return m_gathering.size() < kGather || Hand(m_gathering);
}

bool CWriteBehindFilter::Close() {
  if (Failed() || (!m_gathering.empty() && !Hand(m_gathering))) return false;
  {
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_waiting.empty() || m_failed; });
  }
  return !Failed() && CFilter::Close();
}

bool CWriteBehindFilter::Failed() {
  std::lock_guard lock(m_mutex);
  if (m_failed) SetLastError(m_error);
  return m_failed;
}

bool CWriteBehindFilter::Hand(Block& block) {
  std::unique_lock lock(m_mutex);
  m_changed.wait(lock, [this] { return m_waiting.size() < kDepth || m_failed; });
  if (m_failed) {
    SetLastError(m_error);
    return false;
  }
  m_waiting.push_back(std::move(block));
  block.clear();
  if (m_spare.empty()) {
    block.reserve(kGather + kBlockSize);
  } else {
    block = std::move(m_spare.back());
    m_spare.pop_back();
  }
  lock.unlock();
  m_changed.notify_all();
  return true;
}

void CWriteBehindFilter::WriteBlocks(CProgress* progress) {
  std::optional<CProgress::Scope> scope;
  if (progress) scope.emplace(*progress);
  std::unique_lock lock(m_mutex);
  for (;;) {
    m_changed.wait(lock, [this] { return !m_waiting.empty() || m_closing; });
    if (m_waiting.empty()) return;
    m_writing = true;
    Block& block = m_waiting.front();
    lock.unlock();
    CFilter* next = GetNext();
    const bool written = !next || next->Write(block.data(), block.size());
    const uint32_t error = written ? 0 : GetLastError();
    lock.lock();
    m_writing = false;
    block.clear();
    m_spare.push_back(std::move(block));
    m_waiting.pop_front();
    if (!written) {
      m_failed = true;
      m_error = error != 0 ? error : ERROR_GEN_FAILURE;
      m_waiting.clear();
    }
    m_changed.notify_all();
  }
}
