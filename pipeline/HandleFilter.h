#pragma once
// A filter bound to an open file (platform/FileHandle.h). It keeps the system
// error code of the first failure on its file and the number of bytes read or
// written through it since the last Reset.
//
// A handle is attached either owned (passed as std::unique_ptr: the filter
// closes it on release or destruction) or borrowed (passed by reference: the
// caller keeps it open for as long as it is attached; the filter never closes
// it).

#include "pipeline/Filter.h"
#include "platform/FileHandle.h"

#include <memory>

class CArrivingFile;

class CHandleFilter : public CFilter {
 public:
  // No handle.
  explicit CHandleFilter(CFilter* next = nullptr);
  // No downstream filter; owns `handle`.
  explicit CHandleFilter(std::unique_ptr<CFileHandle> handle);
  // No downstream filter; borrows `handle`.
  explicit CHandleFilter(CFileHandle& handle);
  // Closes an owned handle.
  ~CHandleFilter() override;

  // Clears the error and the byte count; the handle stays as it is.
  void Reset() override;

  // ReleaseHandle, then take `handle` as owned (null: no handle).
  virtual void Attach(std::unique_ptr<CFileHandle> handle);
  // ReleaseHandle, then borrow `handle`, which must not be one this filter
  // owns.
  virtual void Attach(CFileHandle& handle);
  // Reads up to `length` bytes; `count` 0 means the end of the file. False at
  // once while an error is recorded; a failing read records the system's code.
  // While an arriving file is followed, its end is the end the writer
  // announces: a read waits for bytes still to come, and fails with
  // ERROR_UNEXP_NET_ERR once the file was abandoned.
  virtual bool Read(uint8_t* buffer, size_t length, size_t& count);
  // Reads the attached handle as the arriving file `arrival` (null: as a
  // plain file again), which must outlive the reading.
  void Follow(CArrivingFile* arrival) { m_arrival = arrival; }
  // Moves to an absolute position. False at once while an error is recorded;
  // a failing seek records the system's code.
  virtual bool Seek(uint64_t position);
  // Records `code` unless an error is already recorded: 0 stands for the
  // thread's last error, and 31 when that is 0 too. The first error sticks.
  virtual void SetError(uint32_t code);
  virtual bool HasError() const { return m_error != 0; }
  virtual uint32_t GetError() const { return m_error; }
  virtual uint64_t GetByteCount() const { return m_byteCount; }
  // Closes and forgets an owned handle; a borrowed one stays attached.
  virtual void ReleaseHandle();

  // The attached handle, or null.
  CFileHandle* GetHandle() const { return m_handle; }
  bool OwnsHandle() const { return m_ownedHandle != nullptr; }

 protected:
  void CountBytes(uint64_t bytes) { m_byteCount += bytes; }

 private:
  // One read, waiting at the end of a followed arriving file.
  bool ReadHandle(uint8_t* buffer, size_t length, size_t& count);

  CFileHandle* m_handle = nullptr;
  CArrivingFile* m_arrival = nullptr;
  std::unique_ptr<CFileHandle> m_ownedHandle;  // set when m_handle is owned
  uint32_t m_error = 0;
  uint64_t m_byteCount = 0;
};
