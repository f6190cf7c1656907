#include "pipeline/LZCompressFilter.h"

#include "framework/Archive.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <new>

constinit const CRuntimeClass CLZCompressFilter::RuntimeClass = {
    "CLZCompressFilter", 1, &CreateDefaultObject<CLZCompressFilter>,
    &CBufferedSourceFilter::RuntimeClass};

namespace {

[[maybe_unused]] const bool registered = CRuntimeClass::Register(CLZCompressFilter::RuntimeClass);

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
    : CBufferedSourceFilter(next, bufferSize) {}

const CRuntimeClass& CLZCompressFilter::GetRuntimeClass() const { return RuntimeClass; }

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
  CBufferedSourceFilter::Reset();
  m_maxBits = kMaxBits;
  m_blockMode = kBlockModeFlag;
  m_inGroupWidth = 0;
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
  m_suffixTable.reset(new (std::nothrow) uint8_t[entries]());
  m_prefixTable.reset(new (std::nothrow) uint16_t[entries]());
  m_lengthTable.reset(new (std::nothrow) uint32_t[entries]());
  m_whereTable.reset(new (std::nothrow) uint64_t[entries]());
  if (!m_suffixTable || !m_prefixTable || !m_lengthTable || !m_whereTable) {
    m_suffixTable.reset();
    m_prefixTable.reset();
    m_lengthTable.reset();
    m_whereTable.reset();
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
  CLZCodePacker packer(*this, m_outGroup);
  m_encoder.Start(static_cast<uint32_t>(row.codeLimit), m_blockMode != 0, packer);
  m_bytesIn = 0;
  // The input is taken a read buffer at a time; the error recorded can only
  // change when the buffer is refilled.
  while (!HasError()) {
    const std::span<const uint8_t> block = TakeBufferedInput();
    if (block.empty()) break;
    m_bytesIn += block.size();
    m_encoder.Encode(block.data(), block.size(), packer);
  }
  m_encoder.Finish(packer);
  packer.Finish();
  m_bytesOut = 3 + packer.BytesWritten();
  m_nBits = m_encoder.GetCodeWidth();
  m_maxCode = m_encoder.GetMaxCode();
  m_freeEnt = m_encoder.GetNextCode();
}

bool CLZCompressFilter::ReadGroup() {
  // A width change discards the rest of the group.
  m_inGroupWidth = m_nBits;
  size_t count = 0;
  CBufferedSourceFilter::Read(m_inGroup, static_cast<size_t>(m_nBits), count);
  m_inGroupBits = static_cast<int32_t>(8 * count);
  m_bitOffset = 0;
  // A group cut short before a whole code holds no code at all.
  return m_inGroupBits >= m_nBits && !HasError();
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
  m_bitOffset = 0;
  m_inGroupBits = 0;
  m_inGroupWidth = 0;
  ExpandCodes(limit);
  // Whatever was expanded goes on, also when a bad code stopped the run.
  const std::span<const uint8_t> expanded = m_window.TakeUnflushed();
  PutEachPadded(expanded.data(), expanded.size());
}

void CLZCompressFilter::MakeRoom() {
  if (m_window.HasRoom()) return;
  const std::span<const uint8_t> expanded = m_window.TakeUnflushed();
  PutEachPadded(expanded.data(), expanded.size());
  m_window.Slide();
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
  uint16_t* const prefixTable = m_prefixTable.get();
  uint8_t* const suffixTable = m_suffixTable.get();
  uint32_t* const lengthTable = m_lengthTable.get();
  uint64_t* const whereTable = m_whereTable.get();
  uint32_t code = kClear;
  uint32_t old = 0;
  // Where the string of `old` was written, and its length.
  uint64_t oldAt = 0;
  uint32_t oldLength = 0;
  bool firstTime = true;
  bool full = false;
  for (;;) {
    if (code == kClear && (firstTime || m_blockMode)) {
      m_nBits = kMinBits;
      m_maxCode = (1 << kMinBits) - 1;
      m_freeEnt = m_blockMode ? kClear + 1 : kClear;
      full = false;
      firstTime = false;
      // Writers pad the group that holds CLEAR, whatever its width.
      m_inGroupBits = 0;
      if (!GetCode(old)) return;
      // A fresh dictionary can only start with a byte.
      if (old > 0xFF) {
        SetError(ERROR_INVALID_DATA);
        return;
      }
      MakeRoom();
      oldAt = m_window.Position();
      *m_window.At(oldAt) = static_cast<uint8_t>(old);
      m_window.Advance(1);
      oldLength = 1;
    } else {
      const uint32_t incode = code;
      MakeRoom();
      const uint64_t at = m_window.Position();
      uint8_t* const out = m_window.At(at);
      uint32_t length;
      if (!full && code >= static_cast<uint32_t>(m_freeEnt)) {
        // The code being defined right now: the previous string and its own
        // first byte. A code beyond it names nothing.
        if (code != static_cast<uint32_t>(m_freeEnt)) {
          SetError(ERROR_INVALID_DATA);
          return;
        }
        length = oldLength + 1;
        CLZOutputWindow::CopyWide(out, m_window.At(oldAt), oldLength);
        out[oldLength] = out[0];
      } else if (code <= 0xFF) {
        length = 1;
        out[0] = static_cast<uint8_t>(code);
      } else {
        length = lengthTable[code];
        const uint64_t where = whereTable[code];
        if (m_window.Holds(where)) {
          CLZOutputWindow::CopyWide(out, m_window.At(where), length);
        } else {
          RebuildString(code, out + length - 1);
        }
        whereTable[code] = at;
      }
      m_window.Advance(length);
      if (!full) {
        // The new entry is the previous string and this one's first byte,
        // written together at oldAt.
        prefixTable[m_freeEnt] = static_cast<uint16_t>(old);
        suffixTable[m_freeEnt] = out[0];
        lengthTable[m_freeEnt] = oldLength + 1;
        whereTable[m_freeEnt] = oldAt;
        old = incode;
        oldAt = at;
        oldLength = length;
        if (m_freeEnt != m_maxCode) {
          ++m_freeEnt;
        } else if (m_maxCode < limit) {
          ++m_nBits;
          m_maxCode = 2 * m_maxCode + 1;
          ++m_freeEnt;
        } else {
          full = true;
        }
      }
    }
    if (!GetCode(code)) return;
  }
}
