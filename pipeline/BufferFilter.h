#pragma once
// A filter that collects bytes in a block buffer and passes them on to `next`
// one whole buffer at a time. Byte-wise transforms derive from it and
// override PutByte (transform, then the CBufferFilter PutByte) and Write
// (StoreTransformed, which gives the same results a span at a time).
//
// The buffer is allocated when the first byte arrives, so a filter made from
// stored data costs little until it runs; if that allocation fails, PutByte
// returns false with the thread's last error set to 8.

#include "pipeline/Filter.h"

#include <algorithm>
#include <cstring>
#include <memory>

class CBufferFilter : public CFilter {
 public:
  // `capacity` is the size of the block buffer (at least 1).
  explicit CBufferFilter(CFilter* next = nullptr, int32_t capacity = kBlockSize);
  ~CBufferFilter() override;

  // The CBufferFilter PutByte of each byte in order, runs that fit copied
  // at once; false at the first byte that fails. True for length 0. A class
  // that overrides PutByte overrides Write too.
  bool Write(const uint8_t* bytes, size_t length) override { return StoreBlock(bytes, length); }
  // Stores the byte, first flushing a full buffer. When that flush fails the
  // byte is dropped and the result is false.
  bool PutByte(uint8_t byte) override;
  // Flush, then the base Close (also after a failed flush); true only if both
  // succeeded.
  bool Close() override;
  // Drops the bytes held from a run that did not finish.
  void Reset() override;

  // Hands the bytes held to `next` and empties the buffer whatever the
  // result; true when nothing was held.
  virtual bool Flush();
  virtual int32_t GetFreeSpace() const;
  virtual bool IsFull() const;

  // Bytes past the capacity that the buffer has, and that StorePadded may
  // read past the end of its source: a short run is copied in whole words.
  static constexpr size_t kPadding = sizeof(uint64_t);

  // StoreBlock(bytes, length, false) for a source that can be read up to
  // kPadding - 1 bytes past its end: a failed flush drops its block and the
  // one byte, and the bytes after it are still taken. False when a byte was
  // dropped.
  bool StorePadded(const uint8_t* bytes, size_t length);

 protected:
  // Stores the `length` bytes that `transform` makes from `bytes`, with the
  // results of the CBufferFilter PutByte of each output byte in order: a
  // full buffer is flushed when the next byte comes, and when that flush
  // fails the byte is dropped and the result is false. After such a failure
  // the bytes that follow are neither transformed nor stored when
  // `stopAtFailure` is set (as Write stops), else they are taken as PutByte
  // would take them. `transform(in, out, n)` maps the next n input bytes to
  // n output bytes in order; it is called once per byte where PutByte would
  // flush or allocate, else once per run of bytes that fit.
  template <class Transform>
  bool StoreTransformed(const uint8_t* bytes, size_t length, Transform&& transform,
                        bool stopAtFailure = true);

 private:
  bool PutByteSlow(uint8_t byte);
  // The CBufferFilter PutByte of each byte, copying runs that fit at once;
  // see StoreTransformed for `stopAtFailure`.
  bool StoreBlock(const uint8_t* bytes, size_t length, bool stopAtFailure = true) {
    return StoreTransformed(
        bytes, length,
        [](const uint8_t* in, uint8_t* out, size_t n) { std::memcpy(out, in, n); },
        stopAtFailure);
  }

  std::unique_ptr<uint8_t[]> m_buffer;
  int32_t m_capacity;
  int32_t m_fill = 0;
  int32_t m_allocated = 0;  // 0 until the buffer exists, then m_capacity
};

inline bool CBufferFilter::PutByte(uint8_t byte) {
  if (m_fill >= m_allocated) return PutByteSlow(byte);
  m_buffer[m_fill++] = byte;
  return true;
}

inline bool CBufferFilter::StorePadded(const uint8_t* bytes, size_t length) {
  if (length > static_cast<size_t>(m_allocated - m_fill)) return StoreBlock(bytes, length, false);
  // The words end at most kPadding - 1 bytes past the capacity.
  uint8_t* const out = m_buffer.get() + m_fill;
  for (size_t i = 0; i < length; i += kPadding) {
    uint64_t word;
    std::memcpy(&word, bytes + i, kPadding);
    std::memcpy(out + i, &word, kPadding);
  }
  m_fill += static_cast<int32_t>(length);
  return true;
}

template <class Transform>
bool CBufferFilter::StoreTransformed(const uint8_t* bytes, size_t length, Transform&& transform,
                                     bool stopAtFailure) {
  bool ok = true;
  while (length > 0) {
    if (m_fill >= m_allocated) {
      // The buffer is full or not yet made: the one-byte path decides.
      uint8_t byte;
      transform(bytes, &byte, 1);
      if (!PutByteSlow(byte)) {
        if (stopAtFailure) return false;
        ok = false;
      }
      ++bytes;
      --length;
      continue;
    }
    const size_t n = std::min(static_cast<size_t>(m_allocated - m_fill), length);
    transform(bytes, m_buffer.get() + m_fill, n);
    m_fill += static_cast<int32_t>(n);
    bytes += n;
    length -= n;
  }
  return ok;
}
