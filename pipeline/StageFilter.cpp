#include "pipeline/StageFilter.h"

#include "pipeline/Progress.h"
#include "pipeline/SourceFilter.h"
#include "platform/SystemError.h"


CStageFilter::CStageFilter(std::unique_ptr<CFileHandle> file, CSourceFilter& source)
    : CSinkFilter(std::move(file)), m_source(source) {
  m_source.Follow(&m_arrival);
  m_thread = std::thread([this, progress = CProgress::Current()] {
    const CProgress::Scope scope(progress, CProgress::Counting::kNo);
    m_ran = m_source.Run();
    if (!m_ran) m_sourceError = GetLastError();
  });
}

CStageFilter::~CStageFilter() {
  if (m_thread.joinable()) Finish(false);
}

bool CStageFilter::Write(const uint8_t* bytes, size_t length) {
  if (!CSinkFilter::Write(bytes, length)) return false;
  m_arrival.Arrived(GetHandle()->Path(), GetByteCount());
  return true;
}

bool CStageFilter::Close() {
  if (!m_thread.joinable()) return m_ran;
  const bool written = !HasError();
  const bool ran = Finish(written);
  if (!written) {
    SetLastError(GetError());
    return false;
  }
  if (!ran) SetLastError(m_sourceError);
  return ran;
}

bool CStageFilter::Finish(bool whole) {
  if (whole) {
    m_arrival.Complete(GetHandle()->Path(), GetByteCount());
  } else {
    m_arrival.Abandon();
  }
  m_thread.join();
  m_source.Follow(nullptr);
  return m_ran;
}
