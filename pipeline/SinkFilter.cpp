#include "pipeline/SinkFilter.h"

#include "platform/SystemError.h"

CSinkFilter::CSinkFilter(CFilter* next) : CHandleFilter(next) {}

CSinkFilter::CSinkFilter(std::unique_ptr<CFileHandle> handle)
    : CHandleFilter(std::move(handle)) {}

CSinkFilter::CSinkFilter(CFileHandle& handle) : CHandleFilter(handle) {}

CSinkFilter::~CSinkFilter() = default;

bool CSinkFilter::Write(const uint8_t* bytes, size_t length) {
  if (HasError()) {
    SetLastError(GetError());
    return false;
  }
  CFileHandle* file = GetHandle();
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  if (!file || !file->Write(bytes, length)) {
    SetError(0);
    return false;
  }
  CountBytes(length);
  return true;
}
