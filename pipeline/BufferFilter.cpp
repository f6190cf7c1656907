#include "pipeline/BufferFilter.h"

#include "platform/SystemError.h"

#include <algorithm>
#include <new>

CBufferFilter::CBufferFilter(CFilter* next, int32_t capacity)
    : CFilter(next), m_capacity(std::max(capacity, 1)) {}

CBufferFilter::~CBufferFilter() = default;

bool CBufferFilter::PutByteSlow(uint8_t byte) {
  if (!m_buffer) {
    m_buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(m_capacity) + kPadding]);
    if (!m_buffer) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    m_allocated = m_capacity;
  }
  if (IsFull() && !Flush()) return false;
  m_buffer[m_fill++] = byte;
  return true;
}

bool CBufferFilter::Close() {
  const bool flushed = Flush();
  const bool closed = CFilter::Close();
  return flushed && closed;
}

void CBufferFilter::Reset() {
  CFilter::Reset();
  m_fill = 0;
}

bool CBufferFilter::Flush() {
  if (m_fill == 0) return true;
  const int32_t held = m_fill;
  m_fill = 0;
  return CFilter::Write(m_buffer.get(), static_cast<size_t>(held));
}

int32_t CBufferFilter::GetFreeSpace() const { return m_capacity - m_fill; }

bool CBufferFilter::IsFull() const { return m_fill >= m_capacity; }
