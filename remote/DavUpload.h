#pragma once
// The content of a new WebDAV file (remote/DavRoot.h), under a name this
// upload holds by its claim. The content goes as one chunked PUT of unknown
// length, which servers store beside the name and move over it when
// complete, so the name never serves part of a file. A thread of its own
// runs the request and takes the bytes that Write hands over through a
// bounded queue, so memory stays small whatever the size. Finish deletes
// the claim; a failure or Abort stops the request at once and deletes what
// the name holds and the claim. The root must outlive the upload.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "remote/ByteQueue.h"
#include "remote/PublishUpload.h"

class CDavRequest;
class CDavRoot;

class CDavUpload : public CPublishUpload {
 public:
  // `name` is held by this sender's claim.
  CDavUpload(CDavRoot& root, std::string name);
  ~CDavUpload() override;

  void Follow(StopProbe stop, DeliveryNote delivered) override;
  bool Write(const uint8_t* bytes, size_t length) override;
  bool Finish() override;
  bool Abort() override;
  std::string Name() const override { return m_name; }
  std::string WorkName() const override { return m_name; }

 private:
  // Starts the content's request once.
  void Start();
  // Waits for the content's request to end; true when the server stored it.
  bool Join();

  CDavRoot& m_root;
  std::string m_name;
  CByteQueue m_queue;
  std::unique_ptr<CDavRequest> m_request;
  std::thread m_thread;
  StopProbe m_stop;
  DeliveryNote m_delivered;
  std::atomic<uint64_t> m_written{0};
  bool m_ended = false;
  bool m_stays = false;  // what the name or its claim holds could not be removed
};
