#include "pipeline/InputBuffer.h"

#include "platform/SystemError.h"

#include <algorithm>
#include <cstring>
#include <new>

CInputBuffer::CInputBuffer(CHandleFilter& owner, int32_t capacity)
    : m_owner(owner), m_capacity(std::max(capacity, 1)) {}

CInputBuffer::~CInputBuffer() = default;

void CInputBuffer::Reset() {
  m_pos = 0;
  m_count = 0;
  m_atEnd = false;
}

bool CInputBuffer::Refill() {
  if (!m_buffer) {
    m_buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(m_capacity)]);
    if (!m_buffer) {
      m_owner.SetError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
  }
  size_t count = 0;
  if (!m_owner.Read(m_buffer.get(), static_cast<size_t>(m_capacity), count)) {
    m_pos = m_count = 0;
    return false;
  }
  m_pos = 0;
  m_count = static_cast<int32_t>(count);
  if (m_count == 0) m_atEnd = true;
  return !m_atEnd;
}

std::span<const uint8_t> CInputBuffer::TakeBuffered() {
  if (m_pos >= m_count && !Refill()) return {};
  const std::span<const uint8_t> bytes(m_buffer.get() + m_pos,
                                       static_cast<size_t>(m_count - m_pos));
  m_pos = m_count;
  return bytes;
}

bool CInputBuffer::Read(uint8_t* buffer, size_t length, size_t& count) {
  count = 0;
  while (count < length) {
    if (m_pos >= m_count && !Refill()) return m_atEnd;
    const size_t n = std::min(length - count, static_cast<size_t>(m_count - m_pos));
    std::memcpy(buffer + count, m_buffer.get() + m_pos, n);
    m_pos += static_cast<int32_t>(n);
    count += n;
  }
  return true;
}
