#include "app/UploadSinkFilter.h"

#include "pipeline/Progress.h"
#include "platform/SystemError.h"
#include "remote/PublishUpload.h"

CUploadSinkFilter::CUploadSinkFilter(CPublishUpload& upload) : m_upload(upload) {
  CProgress* progress = CProgress::Current();
  if (!progress) return;
  m_upload.Follow([progress] { return progress->IsCancelled(); },
                  [progress](uint64_t written, uint64_t taken) {
                    progress->Delivered(written, taken);
                  });
}

bool CUploadSinkFilter::Write(const uint8_t* bytes, size_t length) {
  if (!m_upload.Write(bytes, length)) {
    SetLastError(m_upload.Code());
    return false;
  }
  m_bytes += length;
  return true;
}

bool CUploadSinkFilter::CopyFrom(CFileHandle& source, size_t length, size_t& copied) {
  if (!m_upload.CopyFrom(source, length, copied)) {
    if (m_upload.Code() != 0) SetLastError(m_upload.Code());
    return false;
  }
  m_bytes += copied;
  return true;
}
