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

bool CSinkFilter::Close() {
  CFilter* source = GetNext();
  if (!source) return true;
  SetNext(nullptr);
  // Running the source over a file whose writing or rewinding failed would
  // only feed the rest of the chain wrong data.
  if (HasError() || !Seek(0)) {
    if (GetError() != 0) SetLastError(GetError());
    return false;
  }
  return source->Run();
}
