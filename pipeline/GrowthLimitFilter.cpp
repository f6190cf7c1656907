#include "pipeline/GrowthLimitFilter.h"

#include "pipeline/HandleFilter.h"
#include "platform/SystemError.h"

CGrowthLimitFilter::CGrowthLimitFilter(CHandleFilter& reader, CFilter* next)
    : CFilter(next), m_reader(reader) {}

bool CGrowthLimitFilter::Write(const uint8_t* bytes, size_t length) {
  m_written += length;
  return WithinLimit() && CFilter::Write(bytes, length);
}

bool CGrowthLimitFilter::Close() { return WithinLimit() && CFilter::Close(); }

void CGrowthLimitFilter::Reset() {
  m_written = 0;
  m_exceeded = false;
}

bool CGrowthLimitFilter::WithinLimit() {
  if (m_exceeded) return false;
  m_exceeded = m_written > m_reader.GetByteCount() + kSlack;
  // The compressor goes on past a failed write; a failed read stops it.
  if (m_exceeded) m_reader.SetError(ERROR_FILE_TOO_LARGE);
  return !m_exceeded;
}
