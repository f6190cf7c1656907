#pragma once
// The bytes of one new file on a server, written in order, streamed as they
// come: nothing is kept locally beyond a bounded buffer, whatever the size.
//
// An upload ends in exactly one of Finish() and Abort(). Destroying one that
// ended in neither aborts it, so no failure, exception or cancel leaves a
// claimed name or a partial file on the server while the server can be
// reached. Every operation returns false on failure with Code() and Error()
// set (remote/RemoteFailure.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "remote/RemoteFailure.h"

class CRemoteUpload : public CRemoteFailure {
 public:
  virtual ~CRemoteUpload() = default;

  // Appends `length` bytes. After a failure every later Write fails too.
  virtual bool Write(const uint8_t* bytes, size_t length) = 0;
  // Completes the file; true once the server holds all of it under its name.
  // On failure the upload has already been aborted.
  virtual bool Finish() = 0;
  // Stops the transfer and removes whatever the server holds under the
  // name, and any file the upload made on the way. False when a removal
  // failed (the server went away, say): those files stay, LeftOver() names
  // them and Error() says so. Aborting twice does nothing.
  virtual bool Abort() = 0;

  // The name the file has, or will have once Finish succeeded.
  virtual std::string Name() const = 0;
  // After a failed Abort: the names of this upload's files that stay.
  virtual std::vector<std::string> LeftOver() const = 0;
};
