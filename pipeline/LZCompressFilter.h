#pragma once
// LZW compression and expansion in the .Z format of the Unix compress
// utility: bytes 1F 9D, a flags byte (bits 0-4 the largest code width, bit 7
// block mode, where code 256 clears the dictionary), then codes of 9 up to 16
// bits packed least significant bit first in groups of eight codes of one
// width. A group is written out whole when the width changes; the stream ends
// after the bytes that hold the last code.
//
// The filter is a source: it reads its input from its own file handle
// through a read buffer and writes through an output buffer that holds the
// link to the next filter (its own `next` stays null). Forward it compresses
// (always 16 bits, block mode; the dictionary stops at code 61439 and is then
// cleared); backward it expands any stream of 9 to 16 bits.
//
// The counts of bytes in and out are kept as 64-bit values and stored in an
// archive as their low 32 bits.

#include "pipeline/BufferFilter.h"
#include "pipeline/InputBuffer.h"
#include "pipeline/LZCodePacker.h"
#include "pipeline/LZEncoder.h"
#include "pipeline/LZOutputWindow.h"
#include "pipeline/SourceFilter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CLZCompressFilter final : public CSourceFilter {
 public:
  explicit CLZCompressFilter(CFilter* next = nullptr, int32_t bufferSize = kBlockSize);
  ~CLZCompressFilter() override;
  // The bytes in, then the bytes out, 32 bits each (the low 32 bits when
  // storing). Nothing else of the filter is stored.
  void Serialize(CArchive& archive) override;

  // Compresses or expands the whole input as the direction says, sets the
  // thread's last error to the filter's error (0 when there is none), and
  // then returns false if an error was recorded (the chain stays unclosed),
  // else the result of Close.
  //
  // Errors: 8 when the tables or the stack cannot be allocated; 13 for a bad
  // header (not 1F 9D, or a code width outside 9..16) or a code that names
  // no entry; a read error's own code. A stream
  // that ends inside a group ends the expansion quietly.
  bool Run() override;
  // Forgets buffered input and output, clears the handle's error and count,
  // and returns to 16 bits, block mode, no code groups in progress. The byte
  // counts stay.
  void Reset() override;
  // Links `next` behind the output buffer.
  void SetNext(CFilter* next) override { m_output.SetNext(next); }
  // Flushes the output buffer and closes the chain behind it.
  bool Close() override { return m_output.Close(); }
  // "LZ (Lempel-Ziv)" before any compression, else
  // "LZ (Lempel-Ziv): out/in (percent%)".
  std::string GetDescription() const override;

  uint64_t GetBytesIn() const { return m_bytesIn; }
  uint64_t GetBytesOut() const { return m_bytesOut; }

 private:
  void Compress();
  void Decompress();
  // Ensures the expander's tables for codes up to `codeLimit`. False with
  // error 8 recorded when an allocation fails.
  bool AllocTables(int32_t codeLimit);
  // PutByte unless an error is recorded.
  void PutByteChecked(uint8_t byte);
  // The next input byte, or -1 at the end of the input, after a read error or
  // while an error is recorded.
  int GetByteOrEnd();

  static constexpr int32_t kClear = 256;

  // What the expander looks up for each code: where its string last
  // appeared in the output (the position's low 32 bits) and its length.
  // The prefix code and last byte, needed only to rebuild a string that left
  // the window, live apart.
  struct Entry {
    uint32_t where;
    uint32_t length;
  };
  // Output positions are kept in 32 bits; an entry unused for this long is
  // moved up to this distance so that its distance never wraps around.
  static constexpr uint64_t kFarDistance = uint64_t{1} << 30;
  // The coding loop of Decompress from the first code on; returns when the
  // input ends or a bad code stops it (error 13 recorded).
  void ExpandCodes(int32_t limit);
  // Hands the window's new bytes on and slides it when a string might not
  // fit.
  void MakeRoom();
  // Moves every entry farther back than kFarDistance up to it.
  void BoundDistances();
  // Writes the string of `code` at `out`, the output position `at`, and
  // returns its length; 0 when the code names nothing. Codes below `defined`
  // have entries; the code `defined` itself is the one being defined: the
  // previous string, `oldLength` bytes just before `out`, and its first byte.
  uint32_t WriteString(uint32_t code, uint64_t at, uint8_t* out, uint32_t defined,
                       uint32_t oldLength);
  // Writes the string of `code`, which left the window, backwards from its
  // last byte at `last`, walking the dictionary.
  void RebuildString(uint32_t code, uint8_t* last) const;
  // Takes the next group of codes of `width` bytes from the input into
  // `group` (it stays valid until the next call, readable three bytes past
  // its end); returns its size in bits, 0 when it does not hold a whole code
  // or a read error is recorded.
  uint32_t ReadGroup(uint32_t width, const uint8_t*& group);

  uint64_t m_bytesIn = 0;
  uint64_t m_bytesOut = 0;  // header included
  int32_t m_maxBits = 16;
  // The expander's dictionary, indexed by code (entries below 256 unused).
  std::unique_ptr<Entry[]> m_entries;
  std::unique_ptr<uint16_t[]> m_prefixTable;
  std::unique_ptr<uint8_t[]> m_suffixTable;
  uint64_t m_boundedAt = 0;  // the output position of the last BoundDistances
  int32_t m_codeCapacity = 0;
  CLZOutputWindow m_window;  // allocated at the first expansion
  CLZEncoder m_encoder;      // its tables allocated at the first compression
  int32_t m_blockMode = 0x80;
  CInputBuffer m_input;
  CBufferFilter m_output;
  // The group buffer of the compressor: a group cut short by a width change
  // is padded with the bytes an earlier group left here.
  uint8_t m_outGroup[CLZCodePacker::kGroupBytes] = {};
  // The expander's input: read buffers appended here, code groups taken
  // from m_inStage[m_inTaken] on.
  std::vector<uint8_t> m_inStage;
  size_t m_inTaken = 0;
};

inline void CLZCompressFilter::PutByteChecked(uint8_t byte) {
  if (!HasError()) m_output.PutByte(byte);
}

inline int CLZCompressFilter::GetByteOrEnd() {
  uint8_t byte;
  if (HasError() || !m_input.GetByte(byte)) return -1;
  return byte;
}
