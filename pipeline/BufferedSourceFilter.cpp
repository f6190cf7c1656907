#include "pipeline/BufferedSourceFilter.h"

#include "platform/SystemError.h"

#include <algorithm>
#include <cstring>
#include <new>

CBufferedSourceFilter::CBufferedSourceFilter(CFilter* next, int32_t bufferSize)
    : CSourceFilter(nullptr), m_inCapacity(std::max(bufferSize, 1)), m_output(next, bufferSize) {}

CBufferedSourceFilter::~CBufferedSourceFilter() = default;

bool CBufferedSourceFilter::Write(const uint8_t* bytes, size_t length) {
  // `output` is exactly a CBufferFilter, so its Write is a store of the
  // block without dispatch per byte.
  return m_output.StoreBlock(bytes, length);
}

bool CBufferedSourceFilter::Close() { return m_output.Close(); }

void CBufferedSourceFilter::Reset() {
  m_inPos = 0;
  m_inCount = 0;
  m_atEnd = false;
  m_output.Reset();
  CSourceFilter::Reset();
}

void CBufferedSourceFilter::SetNext(CFilter* next) { m_output.SetNext(next); }

bool CBufferedSourceFilter::Refill() {
  if (!m_inBuffer) {
    m_inBuffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(m_inCapacity)]);
    if (!m_inBuffer) {
      SetError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
  }
  size_t count = 0;
  if (!CHandleFilter::Read(m_inBuffer.get(), static_cast<size_t>(m_inCapacity), count)) {
    m_inPos = m_inCount = 0;
    return false;
  }
  m_inPos = 0;
  m_inCount = static_cast<int32_t>(count);
  if (m_inCount == 0) m_atEnd = true;
  return !IsAtEnd();
}

std::span<const uint8_t> CBufferedSourceFilter::TakeBufferedInput() {
  if (m_inPos >= m_inCount && !Refill()) return {};
  const std::span<const uint8_t> bytes(m_inBuffer.get() + m_inPos,
                                       static_cast<size_t>(m_inCount - m_inPos));
  m_inPos = m_inCount;
  return bytes;
}

bool CBufferedSourceFilter::Read(uint8_t* buffer, size_t length, size_t& count) {
  // GetByte for each position, a run of buffered bytes at a time.
  count = 0;
  while (count < length) {
    if (m_inPos >= m_inCount && !Refill()) return IsAtEnd();
    const size_t n = std::min(length - count, static_cast<size_t>(m_inCount - m_inPos));
    std::memcpy(buffer + count, m_inBuffer.get() + m_inPos, n);
    m_inPos += static_cast<int32_t>(n);
    count += n;
  }
  return true;
}
