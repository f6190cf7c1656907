#pragma once
// A source that hands its input out byte by byte from a read buffer and
// collects its output in an embedded buffer filter: the base of filters that
// read and write a byte at a time (the LZ filter).
//
// The downstream link lives in the embedded `output` buffer; the source's own
// `next` stays null. Write, PutByte, Close and SetNext go to `output`.

#include "pipeline/BufferFilter.h"
#include "pipeline/SourceFilter.h"

#include <span>

class CBufferedSourceFilter : public CSourceFilter {
 public:
  // `bufferSize` is the size of the read buffer and of the output buffer.
  explicit CBufferedSourceFilter(CFilter* next = nullptr, int32_t bufferSize = kBlockSize);
  ~CBufferedSourceFilter() override;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool PutByte(uint8_t byte) override;
  bool Close() override;
  // Forgets buffered input and output, then the CHandleFilter Reset.
  void Reset() override;
  void SetNext(CFilter* next) override;
  // GetByte for each of `length` positions. At the end of the input returns
  // true with the bytes delivered so far; after a read error false.
  bool Read(uint8_t* buffer, size_t length, size_t& count) override;

  // True once a refill of the read buffer found no more bytes.
  virtual bool IsAtEnd() const { return m_atEnd; }
  // The next input byte, refilling the read buffer from the file when it is
  // empty. False at the end of the input and after a read error.
  virtual bool GetByte(uint8_t& byte);
  virtual bool HasBufferedData() const { return m_inPos < m_inCount; }

 protected:
  // How far past their end the bytes given to PutEachPadded can be read.
  static constexpr size_t kOutputPadding = CBufferFilter::kPadding;

  // PutByte of each byte in order whatever the results: a failed flush drops
  // its block and the one byte, and the bytes after it are still taken.
  // False when a byte was dropped. The bytes must be readable up to
  // kOutputPadding - 1 bytes past their end, so that a short run goes out in
  // whole words.
  bool PutEachPadded(const uint8_t* bytes, size_t length) {
    return m_output.StorePadded(bytes, length);
  }
  // Hands out all bytes left in the read buffer at once, refilling it first
  // when it is empty, exactly as that many GetByte calls would; empty at the
  // end of the input and after a read error.
  std::span<const uint8_t> TakeBufferedInput();

 private:
  bool Refill();

  std::unique_ptr<uint8_t[]> m_inBuffer;  // allocated at the first refill
  int32_t m_inCapacity;
  int32_t m_inPos = 0;
  int32_t m_inCount = 0;
  bool m_atEnd = false;
  CBufferFilter m_output;
};

inline bool CBufferedSourceFilter::GetByte(uint8_t& byte) {
  if (m_inPos >= m_inCount && !Refill()) return false;
  byte = m_inBuffer[m_inPos++];
  return true;
}

inline bool CBufferedSourceFilter::PutByte(uint8_t byte) {
  return m_output.CBufferFilter::PutByte(byte);
}
