#include "pipeline/HandleFilter.h"

#include "pipeline/ArrivingFile.h"
#include "pipeline/Progress.h"
#include "platform/SystemError.h"

CHandleFilter::CHandleFilter(CFilter* next) : CFilter(next) { CHandleFilter::Reset(); }

CHandleFilter::CHandleFilter(std::unique_ptr<CFileHandle> handle) : CFilter(nullptr) {
  CHandleFilter::Attach(std::move(handle));
  CHandleFilter::Reset();
}

CHandleFilter::CHandleFilter(CFileHandle& handle) : CFilter(nullptr) {
  CHandleFilter::Attach(handle);
  CHandleFilter::Reset();
}

CHandleFilter::~CHandleFilter() { CHandleFilter::ReleaseHandle(); }

void CHandleFilter::Reset() {
  CFilter::Reset();
  m_error = 0;
  m_byteCount = 0;
}

void CHandleFilter::Attach(std::unique_ptr<CFileHandle> handle) {
  ReleaseHandle();
  m_handle = handle.get();
  m_ownedHandle = std::move(handle);
}

void CHandleFilter::Attach(CFileHandle& handle) {
  ReleaseHandle();
  m_handle = &handle;
  m_ownedHandle.reset();
}

bool CHandleFilter::Read(uint8_t* buffer, size_t length, size_t& count) {
  count = 0;
  if (HasError()) return false;
  CProgress* progress = CProgress::Current();
  // Every block of a run passes here: the one place to stop between blocks.
  if (progress && progress->IsCancelled()) {
    SetError(ERROR_CANCELLED);
    SetLastError(ERROR_CANCELLED);
    return false;
  }
  if (!m_handle) SetLastError(ERROR_INVALID_HANDLE);
  if (!m_handle || !ReadHandle(buffer, length, count)) {
    SetError(0);
    return false;
  }
  CountBytes(count);
  if (progress) progress->Count(m_handle, count);
  return true;
}

bool CHandleFilter::ReadHandle(uint8_t* buffer, size_t length, size_t& count) {
  using State = CArrivingFile::State;
  for (;;) {
    if (!m_handle->Read(buffer, length, count)) return false;
    if (!m_arrival) return true;
    const State state = count > 0 ? m_arrival->Took(count) : m_arrival->Await();
    if (state == State::kVoid) {
      count = 0;
      SetLastError(ERROR_UNEXP_NET_ERR);
      return false;
    }
    if (count > 0 || state == State::kEnd) return true;
  }
}

bool CHandleFilter::Seek(uint64_t position) {
  if (HasError()) return false;
  if (!m_handle) SetLastError(ERROR_INVALID_HANDLE);
  if (!m_handle || !m_handle->Seek(position)) {
    SetError(0);
    return false;
  }
  return true;
}

void CHandleFilter::SetError(uint32_t code) {
  if (m_error != 0) return;
  if (code == 0) code = GetLastError();
  m_error = code != 0 ? code : ERROR_GEN_FAILURE;
}

void CHandleFilter::ReleaseHandle() {
  if (!m_ownedHandle) return;
  m_ownedHandle.reset();
  m_handle = nullptr;
}
