#include "pipeline/LZCompressFilter.h"

#include "framework/Archive.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <endian.h>
#include <new>

namespace {

constexpr uint8_t kMagic0 = 0x1F;
constexpr uint8_t kMagic1 = 0x9D;
constexpr int kBlockModeFlag = 0x80;
constexpr int kMinBits = 9;
constexpr int kMaxBits = 16;

// The last code the encoder assigns before it clears, by largest width.
struct EncoderRow {
  int32_t maxBits;
  int32_t codeLimit;
};
constexpr EncoderRow kEncoderRows[] = {
    {12, 4095}, {13, 8191}, {14, 16383}, {15, 32767}, {16, 61439},
};
const EncoderRow& EncoderRowFor(int32_t maxBits) {
  for (const EncoderRow& row : kEncoderRows) {
    if (row.maxBits == maxBits) return row;
  }
  return kEncoderRows[std::size(kEncoderRows) - 1];
}

}  // namespace

CLZCompressFilter::CLZCompressFilter(CFilter* next, int32_t bufferSize)
    : CSourceFilter(nullptr), m_input(*this, bufferSize), m_output(next, bufferSize) {}

CLZCompressFilter::~CLZCompressFilter() = default;

void CLZCompressFilter::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive << static_cast<uint32_t>(m_bytesIn) << static_cast<uint32_t>(m_bytesOut);
  } else {
    uint32_t in;
    uint32_t out;
    archive >> in >> out;
    m_bytesIn = in;
    m_bytesOut = out;
  }
}

bool CLZCompressFilter::Run() {
  if (IsEncoding()) {
    Compress();
  } else {
    Decompress();
  }
  SetLastError(GetError());
  if (HasError()) return false;
  return Close();
}

void CLZCompressFilter::Reset() {
  m_input.Reset();
  m_output.Reset();
  CSourceFilter::Reset();
  m_maxBits = kMaxBits;
  m_blockMode = kBlockModeFlag;
}

std::string CLZCompressFilter::GetDescription() const {
  if (m_bytesIn == 0) return "LZ (Lempel-Ziv)";
  const unsigned __int128 percent = static_cast<unsigned __int128>(m_bytesOut) * 100 / m_bytesIn;
  const uint64_t shown = percent > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(percent);
  char text[96];
  std::snprintf(text, sizeof text, "LZ (Lempel-Ziv): %" PRIu64 "/%" PRIu64 " (%" PRIu64 "%%)",
                m_bytesOut, m_bytesIn, shown);
  return text;
}

bool CLZCompressFilter::AllocTables(int32_t codeLimit) {
  if (m_codeCapacity >= codeLimit) return true;
  const auto entries = static_cast<size_t>(codeLimit) + 1;
  m_entries.reset(new (std::nothrow) Entry[entries]());
  m_prefixTable.reset(new (std::nothrow) uint16_t[entries]());
  m_suffixTable.reset(new (std::nothrow) uint8_t[entries]());
  if (!m_entries || !m_prefixTable || !m_suffixTable) {
    m_entries.reset();
    m_prefixTable.reset();
    m_suffixTable.reset();
    m_codeCapacity = 0;
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }
  m_codeCapacity = codeLimit;
  return true;
}

void CLZCompressFilter::Compress() {
  if (m_maxBits < kEncoderRows[0].maxBits || m_maxBits > kMaxBits) m_maxBits = kMaxBits;
  const EncoderRow& row = EncoderRowFor(m_maxBits);
  if (!m_encoder.Allocate()) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return;
  }

  PutByteChecked(kMagic0);
  PutByteChecked(kMagic1);
  PutByteChecked(static_cast<uint8_t>(m_maxBits | m_blockMode));
  CLZCodePacker packer(m_output, m_outGroup);
  m_encoder.Start(static_cast<uint32_t>(row.codeLimit), m_blockMode != 0, packer);
  m_bytesIn = 0;
  // The input is taken a read buffer at a time; the error recorded can only
  // change when the buffer is refilled.
  while (!HasError()) {
    const std::span<const uint8_t> block = m_input.TakeBuffered();
    if (block.empty()) break;
    m_bytesIn += block.size();
    m_encoder.Encode(block.data(), block.size(), packer);
  }
  m_encoder.Finish(packer);
  packer.Finish();
  m_bytesOut = 3 + packer.BytesWritten();
}

uint32_t CLZCompressFilter::ReadGroup(uint32_t width, const uint8_t*& group) {
  // Four bytes are read around each code, so three beyond a full group.
  constexpr size_t kReadPast = 3;
  size_t held = m_inStage.size() - kReadPast - m_inTaken;
  if (held < width) {
    // The read buffer is refilled only when the bytes held run short, as a
    // byte-by-byte reader would refill it.
    m_inStage.erase(m_inStage.begin(), m_inStage.begin() + static_cast<ptrdiff_t>(m_inTaken));
    m_inStage.resize(held);
    m_inTaken = 0;
    while (held < width && !HasError()) {
      const std::span<const uint8_t> block = m_input.TakeBuffered();
      if (block.empty()) break;
      m_inStage.insert(m_inStage.end(), block.begin(), block.end());
      held = m_inStage.size();
    }
    m_inStage.resize(held + kReadPast);
  }
  const size_t count = std::min<size_t>(held, width);
  group = m_inStage.data() + m_inTaken;
  m_inTaken += count;
  const auto bits = static_cast<uint32_t>(8 * count);
  // A group cut short before a whole code holds no code at all.
  return bits >= width && !HasError() ? bits : 0;
}

void CLZCompressFilter::Decompress() {
  if (!m_window.Allocate()) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return;
  }
  if (GetByteOrEnd() != kMagic0 || GetByteOrEnd() != kMagic1) {
    SetError(ERROR_INVALID_DATA);
    return;
  }
  const int flags = GetByteOrEnd();
  m_blockMode = flags & kBlockModeFlag;
  m_maxBits = flags & 0x1F;
  if (m_maxBits < kMinBits || m_maxBits > kMaxBits) {
    SetError(ERROR_INVALID_DATA);
    return;
  }
  const int32_t limit = (1 << m_maxBits) - 1;
  if (!AllocTables(limit)) return;
  m_window.Start();
  m_boundedAt = 0;
  m_inStage.assign(3, 0);
  m_inTaken = 0;
  ExpandCodes(limit);
  // Whatever was expanded goes on, also when a bad code stopped the run.
  const std::span<const uint8_t> expanded = m_window.TakeUnflushed();
  m_output.StorePadded(expanded.data(), expanded.size());
}

void CLZCompressFilter::MakeRoom() {
  const std::span<const uint8_t> expanded = m_window.TakeUnflushed();
  m_output.StorePadded(expanded.data(), expanded.size());
  m_window.Slide();
  if (m_window.Position() - m_boundedAt >= kFarDistance) BoundDistances();
}

void CLZCompressFilter::BoundDistances() {
  // Run at least every kFarDistance bytes, so no distance passes 2^31.
  const auto now = static_cast<uint32_t>(m_window.Position());
  const auto far = static_cast<uint32_t>(kFarDistance);
  for (int32_t code = 0; code <= m_codeCapacity; ++code) {
    Entry& entry = m_entries[code];
    if (now - entry.where > far) entry.where = now - far;
  }
  m_boundedAt = m_window.Position();
}

void CLZCompressFilter::RebuildString(uint32_t code, uint8_t* last) const {
  // Every defined entry's prefix is a smaller code and its length one more
  // than its prefix's, so the walk ends exactly at the string's first byte.
  while (code > 0xFF) {
    *last-- = m_suffixTable[code];
    code = m_prefixTable[code];
  }
  *last = static_cast<uint8_t>(code);
}

void CLZCompressFilter::ExpandCodes(int32_t limit) {
  Entry* const entries = m_entries.get();
  uint16_t* const prefixTable = m_prefixTable.get();
  uint8_t* const suffixTable = m_suffixTable.get();
  // Everything the loop changes lives in locals: the output is written at
  // `cursor` in the window, whose first byte is at position `base`.
  uint8_t* const data = m_window.Data();
  uint8_t* const roomLimit = m_window.RoomLimit();
  uint8_t* cursor = data + m_window.Fill();
  uint64_t base = m_window.Base();
  const auto makeRoom = [&] {
    if (cursor <= roomLimit) return;
    m_window.SetFill(static_cast<size_t>(cursor - data));
    MakeRoom();
    cursor = data + m_window.Fill();
    base = m_window.Base();
  };
  // The code group read last and the bit where its next code starts.
  const uint8_t* group = nullptr;
  uint32_t groupBits = 0;
  uint32_t bitOffset = 0;
  uint32_t nBits = kMinBits;
  uint32_t maxCode = (1u << kMinBits) - 1;
  const auto nextCode = [&](uint32_t& code) {
    if (bitOffset + nBits > groupBits) {
      groupBits = ReadGroup(nBits, group);
      if (groupBits == 0) return false;
      bitOffset = 0;
    }
    // The code's bits lie in the three bytes from bit offset / 8; the fourth
    // byte only completes a 32-bit window and is masked off.
    uint32_t window;
    std::memcpy(&window, group + bitOffset / 8, sizeof window);
    code = (le32toh(window) >> (bitOffset % 8)) & maxCode;
    bitOffset += nBits;
    return true;
  };
  uint32_t freeEnt = 0;
  uint32_t code = kClear;
  uint32_t old = 0;
  // Where the string of `old` was written, and its length.
  uint64_t oldAt = 0;
  uint32_t oldLength = 0;
  bool firstTime = true;
  bool full = false;
  for (;;) {
    makeRoom();
    const uint64_t at = base + static_cast<uint64_t>(cursor - data);
    if (code == kClear && (firstTime || m_blockMode)) {
      nBits = kMinBits;
      maxCode = (1u << kMinBits) - 1;
      freeEnt = m_blockMode ? kClear + 1 : kClear;
      full = false;
      firstTime = false;
      // Writers pad the group that holds CLEAR, whatever its width.
      groupBits = 0;
      if (!nextCode(old)) break;
      // A fresh dictionary can only start with a byte.
      if (old > 0xFF) {
        SetError(ERROR_INVALID_DATA);
        break;
      }
      *cursor++ = static_cast<uint8_t>(old);
      oldAt = at;
      oldLength = 1;
    } else {
      uint8_t* const out = cursor;
      uint32_t length;
      if (code <= 0xFF) {
        length = 1;
        out[0] = static_cast<uint8_t>(code);
      } else if (full || code < freeEnt) {
        Entry& entry = entries[code];
        length = entry.length;
        // How far back the string last appeared (its position's low 32 bits
        // are kept), and whether the window still holds it.
        const uint32_t back = static_cast<uint32_t>(at) - entry.where;
        if (back <= static_cast<size_t>(cursor - data)) {
          CLZOutputWindow::CopyWide(out, cursor - back, length);
        } else {
          RebuildString(code, out + length - 1);
        }
        entry.where = static_cast<uint32_t>(at);
      } else if (code == freeEnt) {
        // The code being defined right now: the previous string and its own
        // first byte.
        length = oldLength + 1;
        CLZOutputWindow::CopyWide(out, out - oldLength, oldLength);
        out[oldLength] = out[0];
      } else {
        // A code beyond the next entry names nothing.
        SetError(ERROR_INVALID_DATA);
        break;
      }
      cursor += length;
      if (!full) {
        // The new entry is the previous string and this one's first byte,
        // written together at oldAt.
        entries[freeEnt] = Entry{static_cast<uint32_t>(oldAt), oldLength + 1};
        prefixTable[freeEnt] = static_cast<uint16_t>(old);
        suffixTable[freeEnt] = out[0];
        old = code;
        oldAt = at;
        oldLength = length;
        if (freeEnt != maxCode) {
          ++freeEnt;
        } else if (maxCode < static_cast<uint32_t>(limit)) {
          // A width change discards the rest of the group.
          ++nBits;
          maxCode = 2 * maxCode + 1;
          ++freeEnt;
          groupBits = 0;
        } else {
          full = true;
        }
      }
    }
    if (!nextCode(code)) break;
    // The code after it, when the group holds one at this width, is most
    // likely the next to look up: its entry is fetched meanwhile.
    if (bitOffset + nBits <= groupBits) {
      uint32_t window;
      std::memcpy(&window, group + bitOffset / 8, sizeof window);
      __builtin_prefetch(&entries[(le32toh(window) >> (bitOffset % 8)) & maxCode]);
    }
  }
  m_window.SetFill(static_cast<size_t>(cursor - data));
}
