#pragma once
// Packs the codes of an LZW stream into .Z code groups and writes them to a
// filter: eight codes of one width make a group of exactly `width` bytes,
// least significant bit first. When the width changes, the group in
// progress goes out whole, `width` bytes: its bytes after the last code keep
// whatever the group buffer held from earlier groups, as compress writes
// them. At the end only the bytes holding bits of the last group go out.
//
// Codes are collected and packed a batch at a time with a 64-bit
// accumulator, which keeps the packing out of the compressor's byte loop.
// The results of the writes are not examined: a failing downstream filter
// shows when the chain is closed.

#include <cstddef>
#include <cstdint>

class CFilter;

class CLZCodePacker {
 public:
  static constexpr size_t kGroupBytes = 16;
  static constexpr size_t kRoom = 8000;

  // Writes to `out`. `group` is the group buffer whose bytes pad a group cut
  // short; it is updated as groups are written and outlives the packer.
  CLZCodePacker(CFilter& out, uint8_t (&group)[kGroupBytes]);
  CLZCodePacker(const CLZCodePacker&) = delete;
  CLZCodePacker& operator=(const CLZCodePacker&) = delete;

  // The width of the codes put from now on (9 to 16). A different width
  // first writes out the group in progress, padded to its old width.
  void SetWidth(int32_t width) {
    if (width != m_width) ChangeWidth(width);
  }
  // Appends one code of the current width.
  void Put(uint32_t code) {
    if (m_count == kBatch) PackWholeGroups();
    m_codes[m_count++] = static_cast<uint16_t>(code);
  }
  // Where the next `room` codes (at most kRoom) of the current width may be
  // stored directly; Commit then says where they end. No other call may
  // come between the two.
  uint16_t* Reserve(size_t room) {
    if (m_count + room > kBatch) PackWholeGroups();
    return m_codes + m_count;
  }
  void Commit(const uint16_t* end) { m_count = static_cast<size_t>(end - m_codes); }
  // Writes every code put, the last group only as far as it holds bits.
  void Finish();
  // The bytes written so far.
  uint64_t BytesWritten() const { return m_written; }

 private:
  static constexpr size_t kBatch = 8192;  // codes; a multiple of eight
  static_assert(kRoom + 8 <= kBatch);
  void ChangeWidth(int32_t width);
  // Packs and writes the whole groups collected and keeps the rest.
  void PackWholeGroups();
  // Packs `count` codes (at most eight) into `out` from byte 0; returns the
  // bytes that hold their bits. Up to seven bytes past them are overwritten.
  size_t PackCodes(const uint16_t* codes, size_t count, uint8_t* out) const;
  // Packs the codes of an unfinished group into the group buffer and returns
  // the bytes that hold their bits.
  size_t PackIntoGroup();
  void WriteBytes(const uint8_t* bytes, size_t length);

  CFilter& m_out;
  uint8_t (&m_group)[kGroupBytes];
  int32_t m_width = 0;
  size_t m_count = 0;
  uint64_t m_written = 0;
  uint16_t m_codes[kBatch];
  uint8_t m_packed[kBatch * 2 + 8];
};
