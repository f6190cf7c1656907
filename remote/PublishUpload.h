#pragma once
// The bytes of one new file in a publishing root, written in order, streamed
// as they come: nothing is kept beyond a bounded buffer, whatever the size.
//
// An upload ends in exactly one of Finish() and Abort(). Destroying one that
// ended in neither aborts it, so no failure, exception or cancel leaves a
// claimed name or a partial file behind while the server can be reached.
// Every operation returns false on failure with Code() and Error() set
// (platform/Status.h).

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Status.h"

class CFileHandle;

class CPublishUpload : public CStatus {
 public:
  virtual ~CPublishUpload() = default;

  // While the upload runs, `stop` is asked now and then, from any thread;
  // once it says true the transfer ends within a second and Finish fails
  // with ERROR_CANCELLED. `delivered` is told, from any thread, how many of
  // the bytes written so far the destination has taken. Either may be null.
  using StopProbe = std::function<bool()>;
  using DeliveryNote = std::function<void(uint64_t written, uint64_t taken)>;
  virtual void Follow(StopProbe stop, DeliveryNote delivered) {
    (void)stop;
    (void)delivered;
  }

  // Appends `length` bytes. After a failure every later Write fails too.
  virtual bool Write(const uint8_t* bytes, size_t length) = 0;
  // Appends up to `length` bytes read from `source`; `copied` is 0 at its
  // end. Here a read and a Write; a local root has the kernel copy them.
  // False when the read or the write failed: Code() is 0 when it was the
  // read, whose error is the thread's last error.
  virtual bool CopyFrom(CFileHandle& source, size_t length, size_t& copied);
  // Completes the file; true once the root holds all of it under Name().
  // On failure the upload has already been aborted.
  virtual bool Finish() = 0;
  // Stops the transfer and removes everything the upload made. False when
  // a removal failed (the server went away, say): what stays is known by
  // WorkName() to CPublishRoot::Discard, and Error() says so. Aborting
  // twice does nothing.
  virtual bool Abort() = 0;

  // The file's public name once Finish succeeded; before, the name it
  // holds or is meant to take.
  virtual std::string Name() const = 0;
  // The name under which the root finds what this upload leaves should its
  // sender die part way (CPublishRoot::Discard); known from the start.
  virtual std::string WorkName() const = 0;
};
