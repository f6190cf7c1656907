#include "pipeline/StageFilter.h"

#include "pipeline/SourceFilter.h"
#include "platform/SystemError.h"

#include <unistd.h>

CStageFilter::CStageFilter(std::unique_ptr<CFileHandle> file, CSourceFilter& source)
    : CSinkFilter(std::move(file)),
      m_source(source),
      m_reading(
          m_arrival,
          [this] {
            m_source.Follow(&m_arrival);
            m_ran = m_source.Run();
            if (!m_ran) m_sourceError = GetLastError();
          },
          CProgress::Counting::kNo) {}

std::unique_ptr<CStageFilter> CStageFilter::InFrontOf(CSourceFilter& source,
                                                      std::unique_ptr<CFileHandle> file,
                                                      const std::string& path) {
  const bool opened = source.Open(path);
  unlink(path.c_str());
  if (!opened) return nullptr;
  return std::make_unique<CStageFilter>(std::move(file), source);
}

CStageFilter::~CStageFilter() {
  if (!m_reading.Finished()) Finish(false);
}

bool CStageFilter::Write(const uint8_t* bytes, size_t length) {
  if (!CSinkFilter::Write(bytes, length)) return false;
  m_arrival.Arrived(GetHandle()->Path(), GetByteCount());
  return true;
}

bool CStageFilter::Close() {
  if (m_reading.Finished()) return m_ran;
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
  m_reading.Finish(GetHandle()->Path(), whole ? static_cast<int64_t>(GetByteCount()) : -1);
  m_source.Follow(nullptr);
  return m_ran;
}
