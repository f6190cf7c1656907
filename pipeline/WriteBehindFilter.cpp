#include "pipeline/WriteBehindFilter.h"

#include <cstring>

#include "pipeline/Progress.h"
#include "platform/SystemError.h"

CWriteBehindFilter::CWriteBehindFilter(CFilter* next) : CFilter(next) {
  m_gathering.reserve(kGather + kBlockSize);
  m_thread = std::thread([this, progress = CProgress::Current()] { WriteBlocks(progress); });
}

CWriteBehindFilter::~CWriteBehindFilter() {
  // The block being written stays until its Write returns; the others go.
  m_queue.Fail(ERROR_CANCELLED);
  m_thread.join();
}

bool CWriteBehindFilter::Write(const uint8_t* bytes, size_t length) {
  if (Failed()) return false;
  const size_t at = m_gathering.size();
  m_gathering.resize(at + length);
  std::memcpy(m_gathering.data() + at, bytes, length);
  return m_gathering.size() < kGather || Hand();
}

bool CWriteBehindFilter::Close() {
  if (Failed() || (!m_gathering.empty() && !Hand())) return false;
  m_queue.Close();
  if (!m_queue.Drain()) {
    Failed();
    return false;
  }
  return CFilter::Close();
}

bool CWriteBehindFilter::Failed() {
  const uint32_t failure = m_queue.Failure();
  if (failure != 0) SetLastError(failure);
  return failure != 0;
}

bool CWriteBehindFilter::Hand() {
  if (!m_queue.Push(m_gathering)) {
    Failed();
    return false;
  }
  m_gathering.clear();
  m_gathering.reserve(kGather + kBlockSize);
  return true;
}

void CWriteBehindFilter::WriteBlocks(CProgress* progress) {
  const CProgress::Scope scope(progress);
  CBlockQueue::Block block;
  while (m_queue.Pop(block)) {
    CFilter* next = GetNext();
    if (next && !next->Write(block.data(), block.size())) m_queue.Fail(GetLastError());
    m_queue.Done(block);
  }
}
