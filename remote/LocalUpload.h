#pragma once
// A new file in a local directory (remote/LocalRoot.h), written through its
// handle. Delayed write errors of network file systems show only when the
// file is closed, so Finish succeeds only once the close did.

#include "platform/FileHandle.h"
#include "remote/PublishUpload.h"

class CLocalUpload : public CPublishUpload {
 public:
  // Takes over `file`, created a moment ago as `name` in the directory.
  CLocalUpload(CFileHandle file, std::string name);
  ~CLocalUpload() override;

  bool Write(const uint8_t* bytes, size_t length) override;
  // Through the kernel where the file systems allow (platform/FileHandle.h).
  bool CopyFrom(CFileHandle& source, size_t length, size_t& copied) override;
  bool Finish() override;
  bool Abort() override;
  std::string Name() const override { return m_name; }
  std::string WorkName() const override { return m_name; }

 private:
  bool SystemFailure();

  CFileHandle m_file;
  std::string m_path;
  std::string m_name;
  bool m_ended = false;
};
