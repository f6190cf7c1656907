#pragma once
// A filter that collects bytes in a block buffer and passes them on to `next`
// one whole buffer at a time. Byte-wise transforms derive from it, override
// PutByte (transform, then the CBufferFilter PutByte) and may override Write
// with StoreTransformed, which gives the same results a span at a time.
//
// The buffer is allocated when the first byte arrives, so a filter made from
// stored data costs little until it runs; if that allocation fails, PutByte
// returns false with the thread's last error set to 8.

#include "pipeline/Filter.h"

#include <algorithm>
#include <memory>

class CBufferFilter : public CFilter {
 public:
  static const CRuntimeClass RuntimeClass;

  // `capacity` is the size of the block buffer (at least 1).
  explicit CBufferFilter(CFilter* next = nullptr, int32_t capacity = kBlockSize);
  const CRuntimeClass& GetRuntimeClass() const override;
  ~CBufferFilter() override;

  // This filter's own PutByte for each byte in order; false at the first
  // byte that fails. True for length 0.
  bool Write(const uint8_t* bytes, size_t length) override;
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

 protected:
  // Stores the `length` bytes that `transform` makes from `bytes`, with the
  // results of the CBufferFilter PutByte of each output byte in order: a
  // full buffer is flushed when the next byte comes, and when that flush
  // fails the byte is dropped and the result is false, with the bytes after
  // it not transformed. `transform(in, out, n)` maps the next n input bytes
  // to n output bytes in order; it is called once per byte where PutByte
  // would flush or allocate, else once per run of bytes that fit.
  template <class Transform>
  bool StoreTransformed(const uint8_t* bytes, size_t length, Transform&& transform);

 private:
  // The embedded output buffer of a buffered source is exactly a
  // CBufferFilter and takes blocks through StoreBlock.
  friend class CBufferedSourceFilter;

  bool PutByteSlow(uint8_t byte);
  // The CBufferFilter PutByte of each byte, copying runs that fit at once.
  bool StoreBlock(const uint8_t* bytes, size_t length);

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

template <class Transform>
bool CBufferFilter::StoreTransformed(const uint8_t* bytes, size_t length, Transform&& transform) {
  while (length > 0) {
    if (m_fill >= m_allocated) {
      // The buffer is full or not yet made: the one-byte path decides.
      uint8_t byte;
      transform(bytes, &byte, 1);
      if (!PutByteSlow(byte)) return false;
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
  return true;
}
