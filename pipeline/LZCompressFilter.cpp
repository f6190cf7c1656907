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

namespace {

// The codes of a stream at their current width, taken from the groups that
// `readGroup` hands over (as CLZCompressFilter::ReadGroup does).
template <typename ReadGroup>
class CCodeReader {
 public:
  explicit CCodeReader(ReadGroup readGroup) : m_readGroup(readGroup) {}

  uint32_t MaxCode() const { return m_maxCode; }
  // Back to 9 bits after CLEAR; writers pad the group that holds it,
  // whatever its width.
  void Restart() {
    m_nBits = kMinBits;
    m_maxCode = (1u << kMinBits) - 1;
    m_groupBits = 0;
  }
  // One bit wider; a width change discards the rest of the group.
  void Widen() {
    ++m_nBits;
    m_maxCode = 2 * m_maxCode + 1;
    m_groupBits = 0;
  }
  // False at the end of the input or on a read error.
  bool Next(uint32_t& code) {
    if (m_bitOffset + m_nBits > m_groupBits) {
      m_groupBits = m_readGroup(m_nBits, m_group);
      if (m_groupBits == 0) return false;
      m_bitOffset = 0;
    }
    code = At(m_bitOffset);
    m_bitOffset += m_nBits;
    return true;
  }
  // The code after it, when the group holds one at this width, is most
  // likely the next to look up: its entry is fetched meanwhile.
  template <typename Entry>
  void PrefetchNext(const Entry* entries) const {
    if (m_bitOffset + m_nBits <= m_groupBits) __builtin_prefetch(&entries[At(m_bitOffset)]);
  }

 private:
  // The code's bits lie in the three bytes from bit offset / 8; the fourth
  // byte only completes a 32-bit window and is masked off.
  uint32_t At(uint32_t bitOffset) const {
    uint32_t window;
    std::memcpy(&window, m_group + bitOffset / 8, sizeof window);
    return (le32toh(window) >> (bitOffset % 8)) & m_maxCode;
  }

  ReadGroup m_readGroup;
  const uint8_t* m_group = nullptr;
  uint32_t m_groupBits = 0;
  uint32_t m_bitOffset = 0;
  uint32_t m_nBits = kMinBits;
  uint32_t m_maxCode = (1u << kMinBits) - 1;
};

}  // namespace

inline uint32_t CLZCompressFilter::WriteString(uint32_t code, uint64_t at, uint8_t* out,
                                               uint32_t defined, uint32_t oldLength) {
  if (code <= 0xFF) {
    out[0] = static_cast<uint8_t>(code);
    return 1;
  }
  if (code < defined) {
    Entry& entry = m_entries[code];
    // How far back the string last appeared (its position's low 32 bits
    // are kept), and whether the window still holds it.
    const uint32_t back = static_cast<uint32_t>(at) - entry.where;
    if (back <= static_cast<size_t>(out - m_window.Data())) {
      CLZOutputWindow::CopyWide(out, out - back, entry.length);
    } else {
      RebuildString(code, out + entry.length - 1);
    }
    entry.where = static_cast<uint32_t>(at);
    return entry.length;
  }
  if (code != defined) return 0;
  CLZOutputWindow::CopyWide(out, out - oldLength, oldLength);
  out[oldLength] = out[0];
  return oldLength + 1;
}

void CLZCompressFilter::ExpandCodes(int32_t limit) {
  // Everything the loop changes lives in locals: the output is written at
  // `cursor` in the window, whose first byte is at position `base`.
  uint8_t* const data = m_window.Data();
  uint8_t* const roomLimit = m_window.RoomLimit();
  uint8_t* cursor = data + m_window.Fill();
  uint64_t base = m_window.Base();
  CCodeReader codes(
      [this](uint32_t width, const uint8_t*& group) { return ReadGroup(width, group); });
  uint32_t freeEnt = 0;
  uint32_t code = kClear;
  uint32_t old = 0;
  // Where the string of `old` was written, and its length.
  uint64_t oldAt = 0;
  uint32_t oldLength = 0;
  bool firstTime = true;
  bool full = false;
  for (;;) {
    if (cursor > roomLimit) {
      m_window.SetFill(static_cast<size_t>(cursor - data));
      MakeRoom();
      cursor = data + m_window.Fill();
      base = m_window.Base();
    }
    const uint64_t at = base + static_cast<uint64_t>(cursor - data);
    if (code == kClear && (firstTime || m_blockMode)) {
      codes.Restart();
      freeEnt = m_blockMode ? kClear + 1 : kClear;
      full = false;
      firstTime = false;
      // A fresh dictionary can only start with a byte.
      if (!codes.Next(old)) break;
      if (old > 0xFF) {
        SetError(ERROR_INVALID_DATA);
        break;
      }
      *cursor++ = static_cast<uint8_t>(old);
      oldAt = at;
      oldLength = 1;
    } else {
      const uint32_t defined = full ? static_cast<uint32_t>(limit) + 1 : freeEnt;
      const uint32_t length = WriteString(code, at, cursor, defined, oldLength);
      if (length == 0) {
        SetError(ERROR_INVALID_DATA);
        break;
      }
      if (!full) {
        // The new entry is the previous string and this one's first byte,
        // written together at oldAt.
        m_entries[freeEnt] = Entry{static_cast<uint32_t>(oldAt), oldLength + 1};
        m_prefixTable[freeEnt] = static_cast<uint16_t>(old);
        m_suffixTable[freeEnt] = cursor[0];
        old = code;
        oldAt = at;
        oldLength = length;
        if (freeEnt != codes.MaxCode()) {
          ++freeEnt;
        } else if (codes.MaxCode() < static_cast<uint32_t>(limit)) {
          codes.Widen();
          ++freeEnt;
        } else {
          full = true;
        }
      }
      cursor += length;
    }
    if (!codes.Next(code)) break;
    codes.PrefetchNext(m_entries.get());
  }
  m_window.SetFill(static_cast<size_t>(cursor - data));
}
