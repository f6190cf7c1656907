#pragma once
// The content of a claimed WebDAV name, streamed as one chunked PUT of
// unknown length: a thread of its own runs the request and takes the bytes
// that Write hands over through a bounded queue, so memory stays small
// whatever the size. Finish waits for the server's answer; a failure or
// Abort stops the request and deletes the name. The root must outlive the
// upload.

#include <memory>
#include <string>
#include <thread>

#include "remote/ByteQueue.h"
#include "remote/RemoteUpload.h"

class CDavRequest;
class CDavRoot;

class CDavUpload : public CRemoteUpload {
 public:
  CDavUpload(CDavRoot& root, std::string name);
  ~CDavUpload() override;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Finish() override;
  bool Abort() override;

 private:
  // Waits for the request to end; true when the server stored the file.
  bool Join();

  CDavRoot& m_root;
  std::string m_name;
  CByteQueue m_queue;
  std::unique_ptr<CDavRequest> m_request;
  std::thread m_thread;
  bool m_ended = false;
};
