#pragma once
// The read buffer of a source that takes its input a byte or a run at a time
// (the LZ filter). Blocks are read through the owning filter's handle, so a
// failing read is recorded on the owner (pipeline/HandleFilter.h) and the
// owner counts the bytes read.

#include "pipeline/HandleFilter.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

class CInputBuffer {
 public:
  // Reads through `owner`, which outlives the buffer, `capacity` bytes at a
  // time (at least 1). The buffer is allocated at the first refill; when that
  // fails, error 8 is recorded on the owner.
  CInputBuffer(CHandleFilter& owner, int32_t capacity);
  ~CInputBuffer();
  CInputBuffer(const CInputBuffer&) = delete;
  CInputBuffer& operator=(const CInputBuffer&) = delete;

  // Forgets the buffered input and the end.
  void Reset();
  // True once a refill found no more bytes.
  bool IsAtEnd() const { return m_atEnd; }
  // The next input byte, refilling the buffer when it is empty. False at the
  // end of the input and after a read error.
  bool GetByte(uint8_t& byte) {
    if (m_pos >= m_count && !Refill()) return false;
    byte = m_buffer[m_pos++];
    return true;
  }
  // Hands out all bytes left in the buffer at once, refilling it first when
  // it is empty, exactly as that many GetByte calls would; empty at the end
  // of the input and after a read error.
  std::span<const uint8_t> TakeBuffered();
  // GetByte for each of `length` positions, a run of buffered bytes at a
  // time. At the end of the input returns true with the bytes delivered so
  // far; after a read error false.
  bool Read(uint8_t* buffer, size_t length, size_t& count);

 private:
  bool Refill();

  CHandleFilter& m_owner;
  std::unique_ptr<uint8_t[]> m_buffer;
  int32_t m_capacity;
  int32_t m_pos = 0;
  int32_t m_count = 0;
  bool m_atEnd = false;
};
