#pragma once
// The content of a new WebDAV file (remote/DavRoot.h). The claimed name is
// first made sure to be this upload's: after the claim's pause its token
// must still be there, and while other senders win, the next free names are
// claimed. Then the content streams over the claim as one chunked PUT of
// unknown length, which servers store beside the name and move over it
// when complete, so the name never holds part of a file. A thread of its own
// runs the request and takes the bytes that Write hands over through a
// bounded queue, so memory stays small whatever the size. A failure or
// Abort stops the request and deletes the claim, when it is this upload's.
// The root must outlive the upload.

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "remote/ByteQueue.h"
#include "remote/RemoteRoot.h"
#include "remote/RemoteUpload.h"

class CDavRequest;
class CDavRoot;

class CDavUpload : public CRemoteUpload {
 public:
  // `index` is the name of `names` claimed with `token` a moment ago.
  CDavUpload(CDavRoot& root, CRemoteRoot::NameSequence names, unsigned index, std::string token);
  ~CDavUpload() override;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Finish() override;
  bool Abort() override;
  std::string Name() const override { return m_names(m_index); }
  std::vector<std::string> LeftOver() const override { return m_leftOver; }

 private:
  // Owns the claim (Own) and starts the content's request once; false,
  // with the failure, when the claim cannot be made this upload's.
  bool Start();
  // Waits out the pause since the claim and checks it, claiming the next
  // free names while they turn out to be other senders'.
  bool Own();
  // Waits for the content's request to end; true when the server stored it.
  bool Join();

  CDavRoot& m_root;
  CRemoteRoot::NameSequence m_names;
  unsigned m_index;
  std::string m_token;
  std::chrono::steady_clock::time_point m_claimed;
  bool m_owned = false;
  CByteQueue m_queue;
  std::unique_ptr<CDavRequest> m_request;
  std::thread m_thread;
  bool m_ended = false;
  std::vector<std::string> m_leftOver;
};
