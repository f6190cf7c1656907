#include "remote/PublishUpload.h"

#include <vector>

#include "platform/FileHandle.h"

bool CPublishUpload::CopyFrom(CFileHandle& source, size_t length, size_t& copied) {
  std::vector<uint8_t> buffer(length);
  return source.Read(buffer.data(), buffer.size(), copied) &&
         (copied == 0 || Write(buffer.data(), copied));
}
