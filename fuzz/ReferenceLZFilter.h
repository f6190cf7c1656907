#pragma once
// The straightforward LZW coder the LZ filter is checked against: the hash
// table of 65497 slots with the double-hashing probe, codes placed one at a
// time into the group buffer, and strings expanded by walking the prefix
// table backwards. It writes and reads exactly the bytes CLZCompressFilter
// does, in the .Z format of the Unix compress utility: bytes 1F 9D, a flags
// byte (bits 0-4 the largest code width, bit 7 block mode, where code 256
// clears the dictionary), then codes of 9 up to 16 bits packed least
// significant bit first in groups of eight codes of one width. A group is
// written out whole when the width changes; the stream ends after the bytes
// that hold the last code.
//
// The filter is a source: it reads its input byte by byte from its own file
// handle through a read buffer and writes through an output buffer that
// holds the link to the next filter. Forward it compresses (always 16 bits,
// block mode; the dictionary stops at code 61439 and is then cleared);
// backward it expands any stream of 9 to 16 bits.
//
// The counts of bytes in and out are kept as 64-bit values and stored in an
// archive as their low 32 bits.

#include "pipeline/BufferFilter.h"
#include "pipeline/InputBuffer.h"
#include "pipeline/SourceFilter.h"

#include <cstdint>
#include <memory>

class CReferenceLZFilter final : public CSourceFilter {
 public:
  explicit CReferenceLZFilter(CFilter* next = nullptr, int32_t bufferSize = kBlockSize);
  ~CReferenceLZFilter() override;

  // Compresses or expands the whole input as the direction says, sets the
  // thread's last error to the filter's error (0 when there is none), and
  // then returns false if an error was recorded (the chain stays unclosed),
  // else the result of Close.
  //
  // Errors: 8 when the tables or the stack cannot be allocated; 13 for a bad
  // header (not 1F 9D, or a code width outside 9..16), a code that names no
  // entry, or a stack that cannot grow; a read error's own code. A stream
  // that ends inside a group ends the expansion quietly.
  bool Run() override;
  // Forgets buffered input and output, clears the handle's error and count,
  // and returns to 16 bits, block mode, no code groups in progress. The byte
  // counts stay.
  void Reset() override;
  void SetNext(CFilter* next) override { m_output.SetNext(next); }
  bool Close() override { return m_output.Close(); }

  void Compress();
  void Decompress();
  // Ensures the expander's tables for codes up to `codeLimit` and the
  // compressor's `hashSize` hash slots (0: none of either). False with error
  // 8 recorded when an allocation fails.
  bool AllocTables(int32_t codeLimit, int32_t hashSize);
  // Appends one code of `width` bits; width 0 writes out the bytes of the
  // group in progress.
  void PutCode(uint32_t code, int32_t width);
  // The next code of the current width; false at the end of the input (a
  // partial code included) or after a read error.
  bool GetCode(uint32_t& code);
  // PutByte unless an error is recorded.
  void PutByteChecked(uint8_t byte);
  // The next input byte, or -1 at the end of the input, after a read error or
  // while an error is recorded.
  int GetByteOrEnd();

  uint64_t GetBytesIn() const { return m_bytesIn; }
  uint64_t GetBytesOut() const { return m_bytesOut; }

 private:
  static constexpr int32_t kClear = 256;
  static constexpr int32_t kGroupBytes = 16;
  static constexpr uint64_t kEmptySlot = ~uint64_t{0};
  // Slots past the hash size: copies of the first ones (see CompressInput).
  static constexpr uint32_t kMirroredSlots = 39;

  // The coding loop of Compress over the whole input with the hash size,
  // code limit and largest code width of `row`.
  template <class Row>
  void CompressInput(const Row& row);
  // Writes the first `bytes` bytes of the output group and starts a new one.
  void WriteGroup(int32_t bytes);
  // Reads the next group of codes of the current width; false when it does
  // not hold a whole code or a read error is recorded.
  bool ReadGroup();
  // Doubles the expansion stack, which is filled from its end: the bytes
  // held move to the end of the new block.
  bool GrowStack();
  // The bytes allocated for an expansion stack of `capacity`: its strings go
  // out in whole words, which may read past the stack's end.
  static size_t StackBytes(int32_t capacity) {
    return static_cast<size_t>(capacity) + CBufferFilter::kPadding;
  }

  int32_t m_bitOffset = 0;  // bit position in the code group of either direction
  uint64_t m_bytesIn = 0;
  uint64_t m_bytesOut = 0;  // header included
  int32_t m_freeEnt = 0;
  int32_t m_maxCode = 0;
  int32_t m_nBits = 0;
  int32_t m_maxBits = 16;
  std::unique_ptr<uint8_t[]> m_stack;  // allocated at the first expansion
  int32_t m_stackCapacity = 512;
  // The expander's code tables, indexed by code (entries below 256 unused).
  std::unique_ptr<uint8_t[]> m_suffixTable;
  std::unique_ptr<uint16_t[]> m_prefixTable;
  // The compressor's dictionary: per hash slot code << 32 | byte << 16 |
  // prefix (kEmptySlot: free), so that one load decides a probe and yields
  // the code.
  std::unique_ptr<uint64_t[]> m_hashSlots;
  int32_t m_codeCapacity = 0;
  int32_t m_hashCapacity = 0;
  int32_t m_blockMode = 0x80;
  CInputBuffer m_input;
  CBufferFilter m_output;
  int32_t m_outGroupWidth = 0;
  uint8_t m_outGroup[kGroupBytes] = {};
  // The bits already placed in the byte of the output group that the next
  // code starts in (0 at the start of a group).
  uint32_t m_outPartial = 0;
  int32_t m_inGroupWidth = 0;
  int32_t m_inGroupBits = 0;
  // Four bytes are read around each code, so three beyond a full group.
  uint8_t m_inGroup[kGroupBytes + 3] = {};
};

inline void CReferenceLZFilter::PutByteChecked(uint8_t byte) {
  if (!HasError()) m_output.PutByte(byte);
}

inline int CReferenceLZFilter::GetByteOrEnd() {
  uint8_t byte;
  if (HasError() || !m_input.GetByte(byte)) return -1;
  return byte;
}

inline void CReferenceLZFilter::PutCode(uint32_t code, int32_t width) {
  if (width == 0) {
    if (m_bitOffset > 0) WriteGroup((m_bitOffset + 7) / 8);
    return;
  }
  if (width != m_outGroupWidth) {
    if (m_bitOffset > 0) WriteGroup(m_outGroupWidth);
    m_outGroupWidth = width;
  }
  // The bits of the byte the code starts in are held in m_outPartial, so
  // that nothing is read back from the group. The first byte is OR-ed with
  // the code (set when the code starts it), the second is set, the third is
  // set only when the code reaches it. (Eight codes of at most 16 bits fill
  // the group exactly, so a third byte the code reaches lies in the group.)
  const auto offset = static_cast<uint32_t>(m_bitOffset);
  const uint32_t e = offset % 8;
  uint8_t* const bytes = m_outGroup + offset / 8;
  const uint32_t placed = m_outPartial | code << e;
  bytes[0] = static_cast<uint8_t>(placed);
  bytes[1] = static_cast<uint8_t>(placed >> 8);
  if (static_cast<uint32_t>(width) + e > 16) bytes[2] = static_cast<uint8_t>(placed >> 16);
  m_outPartial = placed >> ((e + static_cast<uint32_t>(width)) & ~7u);
  m_bitOffset += width;
  if (m_bitOffset == 8 * width) WriteGroup(width);
}

inline bool CReferenceLZFilter::GetCode(uint32_t& code) {
  if ((m_inGroupWidth != m_nBits || m_inGroupBits - m_bitOffset < m_nBits) && !ReadGroup()) {
    return false;
  }
  // The code's bits lie in the three bytes from bit offset / 8; the fourth
  // byte only completes a 32-bit window and is masked off.
  const uint8_t* const bytes = m_inGroup + m_bitOffset / 8;
  const uint32_t window = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                          static_cast<uint32_t>(bytes[2]) << 16 |
                          static_cast<uint32_t>(bytes[3]) << 24;
  code = (window >> (m_bitOffset % 8)) & static_cast<uint32_t>(m_maxCode);
  m_bitOffset += m_nBits;
  return true;
}
