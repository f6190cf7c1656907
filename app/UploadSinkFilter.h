#pragma once
// The end of a chain that publishes to a server: hands every block to a
// remote upload (remote/PublishUpload.h) and counts the bytes. A failing
// write leaves the upload's code as the thread's last error; the upload
// keeps the sentence that explains it.

#include "pipeline/Filter.h"

class CFileHandle;
class CPublishUpload;

class CUploadSinkFilter : public CFilter {
 public:
  explicit CUploadSinkFilter(CPublishUpload& upload);

  bool Write(const uint8_t* bytes, size_t length) override;
  // The upload's CopyFrom (remote/PublishUpload.h), counted like a Write.
  bool CopyFrom(CFileHandle& source, size_t length, size_t& copied);

  uint64_t ByteCount() const { return m_bytes; }

 private:
  CPublishUpload& m_upload;
  uint64_t m_bytes = 0;
};
