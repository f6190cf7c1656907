#include "app/UploadSinkFilter.h"

#include "platform/SystemError.h"
#include "remote/PublishUpload.h"

bool CUploadSinkFilter::Write(const uint8_t* bytes, size_t length) {
  if (!m_upload.Write(bytes, length)) {
    SetLastError(m_upload.Code());
    return false;
  }
  m_bytes += length;
  return true;
}
