#include "ReferenceLZFilter.h"

#include "platform/SystemError.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint8_t kMagic0 = 0x1F;
constexpr uint8_t kMagic1 = 0x9D;
constexpr int kBlockModeFlag = 0x80;
constexpr int kMinBits = 9;
constexpr int kMaxBits = 16;

// Hash sizes (all prime) and last assigned codes of the encoder by width.
struct EncoderRow {
  int32_t maxBits;
  int32_t hashSize;
  int32_t codeLimit;
};
constexpr EncoderRow kEncoderRows[] = {
    {12, 5119, 4095}, {13, 9923, 8191}, {14, 18973, 16383}, {15, 36109, 32767}, {16, 65497, 61439},
};
// The row the encoder uses after Reset, as a type of its own, so that the
// coding loop made for it computes with constants.
struct WidestRow {
  static constexpr int32_t maxBits = 16;
  static constexpr int32_t hashSize = 65497;
  static constexpr int32_t codeLimit = 61439;
};
constexpr WidestRow kWidestRow;
static_assert(kEncoderRows[std::size(kEncoderRows) - 1].hashSize == WidestRow::hashSize &&
              kEncoderRows[std::size(kEncoderRows) - 1].codeLimit == WidestRow::codeLimit);

const EncoderRow& EncoderRowFor(int32_t maxBits) {
  for (const EncoderRow& row : kEncoderRows) {
    if (row.maxBits == maxBits) return row;
  }
  return kEncoderRows[std::size(kEncoderRows) - 1];
}

}  // namespace

CReferenceLZFilter::CReferenceLZFilter(CFilter* next, int32_t bufferSize)
    : CSourceFilter(nullptr), m_input(*this, bufferSize), m_output(next, bufferSize) {}

CReferenceLZFilter::~CReferenceLZFilter() = default;

bool CReferenceLZFilter::Run() {
  if (IsEncoding()) {
    Compress();
  } else {
    Decompress();
  }
  SetLastError(GetError());
  if (HasError()) return false;
  return Close();
}

void CReferenceLZFilter::Reset() {
  m_input.Reset();
  m_output.Reset();
  CSourceFilter::Reset();
  m_maxBits = kMaxBits;
  m_blockMode = kBlockModeFlag;
  m_inGroupWidth = 0;
  m_outGroupWidth = 0;
}

bool CReferenceLZFilter::AllocTables(int32_t codeLimit, int32_t hashSize) {
  if (m_hashCapacity < hashSize) {
    m_hashSlots.reset();
    m_hashCapacity = 0;
  }
  if (m_codeCapacity < codeLimit) {
    const auto entries = static_cast<size_t>(codeLimit) + 1;
    m_suffixTable.reset(new (std::nothrow) uint8_t[entries]());
    m_prefixTable.reset(new (std::nothrow) uint16_t[entries]());
    if (!m_suffixTable || !m_prefixTable) {
      m_suffixTable.reset();
      m_prefixTable.reset();
      m_codeCapacity = 0;
      SetError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    m_codeCapacity = codeLimit;
  }
  if (m_hashCapacity < hashSize) {
    m_hashSlots.reset(new (std::nothrow) uint64_t[static_cast<size_t>(hashSize) + kMirroredSlots]);
    if (!m_hashSlots) {
      SetError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
    m_hashCapacity = hashSize;
  }
  return true;
}

void CReferenceLZFilter::WriteGroup(int32_t bytes) {
  m_output.Write(m_outGroup, static_cast<size_t>(bytes));
  m_bytesOut += static_cast<uint64_t>(bytes);
  m_bitOffset = 0;
  m_outPartial = 0;
}

void CReferenceLZFilter::Compress() {
  if (m_maxBits < kEncoderRows[0].maxBits || m_maxBits > kMaxBits) m_maxBits = kMaxBits;
  const EncoderRow& row = EncoderRowFor(m_maxBits);
  if (!AllocTables(0, row.hashSize)) return;

  PutByteChecked(kMagic0);
  PutByteChecked(kMagic1);
  PutByteChecked(static_cast<uint8_t>(m_maxBits | m_blockMode));
  m_bytesOut = 3;
  m_bitOffset = 0;
  m_outPartial = 0;
  m_bytesIn = 0;
  if (m_maxBits == kWidestRow.maxBits) {
    CompressInput(kWidestRow);
  } else {
    CompressInput(row);
  }
}

template <class Row>
void CReferenceLZFilter::CompressInput(const Row& row) {
  const uint32_t hashSize = static_cast<uint32_t>(row.hashSize);
  const int32_t codeLimit = row.codeLimit;
  const int shift = row.maxBits - 10;
  uint32_t byteHash[256];
  for (uint32_t c = 0; c < 256; ++c) byteHash[c] = (c ^ ((c & 7) << 7)) << shift;
  uint64_t* const slots = m_hashSlots.get();
  // A first hash of at most 2^16 - 1 reads the slot it wraps to from a copy
  // of the first slots kept past the end, so that the common first probe
  // does not wait for the wrap. (Below 16 bits no first hash wraps.)
  static_assert(WidestRow::hashSize + kMirroredSlots == 1 << 16);
  const uint32_t mirrored = hashSize == WidestRow::hashSize ? kMirroredSlots : 0;
  std::fill_n(slots, hashSize + mirrored, kEmptySlot);
  // The dictionary's state lives in locals here and goes back to the members
  // at the end.
  int32_t nBits = kMinBits;
  int32_t maxCode = (1 << kMinBits) - 1;
  int32_t freeEnt = m_blockMode ? kClear + 1 : kClear;

  uint64_t bytesIn = 0;
  uint32_t ent = 0;
  bool haveEnt = false;  // a string is pending: the first byte, or one after CLEAR
  const uint8_t* in = nullptr;
  const uint8_t* end = nullptr;
  for (;;) {
    if (in == end) {
      // The input is taken a read buffer at a time; the error recorded can
      // only change when the buffer is refilled.
      if (HasError()) break;
      const std::span<const uint8_t> block = m_input.TakeBuffered();
      if (block.empty()) break;
      bytesIn += block.size();
      in = block.data();
      end = in + block.size();
    }
    if (!haveEnt) {
      ent = *in++;
      haveEnt = true;
      continue;
    }
    while (in != end) {
      const uint32_t c = *in++;
      const uint32_t key = c << 16 | ent;
      size_t h = byteHash[c] ^ ent;
      uint64_t slot = slots[h];
      if (static_cast<uint32_t>(slot) == key) {
        ent = static_cast<uint32_t>(slot >> 32);
        continue;
      }
      if (h >= hashSize) h -= hashSize;
      if (slot != kEmptySlot) {
        const auto step = static_cast<ptrdiff_t>((288 - c) << shift);
        auto probe = static_cast<ptrdiff_t>(h);
        do {
          probe -= step;
          if (probe < 0) probe += hashSize;
          slot = slots[probe];
        } while (static_cast<uint32_t>(slot) != key && slot != kEmptySlot);
        h = static_cast<size_t>(probe);
        if (static_cast<uint32_t>(slot) == key) {
          ent = static_cast<uint32_t>(slot >> 32);
          continue;
        }
      }
      PutCode(ent, nBits);
      ent = c;
      if (freeEnt <= codeLimit) {
        slots[h] = static_cast<uint64_t>(freeEnt) << 32 | key;
        if (h < mirrored) slots[h + hashSize] = slots[h];
        if (freeEnt > maxCode) {
          ++nBits;
          maxCode += freeEnt;
        }
        ++freeEnt;
      } else if (m_blockMode) {
        // The dictionary is full: write the byte that ended the string as a
        // code of its own, then CLEAR, and start afresh from the next byte.
        PutCode(c, nBits);
        PutCode(kClear, nBits);
        std::fill_n(slots, hashSize + mirrored, kEmptySlot);
        nBits = kMinBits;
        maxCode = (1 << kMinBits) - 1;
        freeEnt = kClear + 1;
        haveEnt = false;
        break;
      }
    }
  }
  m_bytesIn = bytesIn;
  m_nBits = nBits;
  m_maxCode = maxCode;
  m_freeEnt = freeEnt;
  if (haveEnt) PutCode(ent, nBits);
  PutCode(kClear, 0);
}

bool CReferenceLZFilter::ReadGroup() {
  // A width change discards the rest of the group.
  m_inGroupWidth = m_nBits;
  size_t count = 0;
  m_input.Read(m_inGroup, static_cast<size_t>(m_nBits), count);
  m_inGroupBits = static_cast<int32_t>(8 * count);
  m_bitOffset = 0;
  // A group cut short before a whole code holds no code at all.
  return m_inGroupBits >= m_nBits && !HasError();
}

bool CReferenceLZFilter::GrowStack() {
  const int32_t capacity = m_stackCapacity * 2;
  std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[StackBytes(capacity)]());
  if (!grown) return false;
  std::memcpy(grown.get() + m_stackCapacity, m_stack.get(), static_cast<size_t>(m_stackCapacity));
  m_stack = std::move(grown);
  m_stackCapacity = capacity;
  return true;
}

void CReferenceLZFilter::Decompress() {
  if (!m_stack) {
    m_stack.reset(new (std::nothrow) uint8_t[StackBytes(m_stackCapacity)]());
    if (!m_stack) {
      SetError(ERROR_NOT_ENOUGH_MEMORY);
      return;
    }
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
  if (!AllocTables(limit, 0)) return;
  uint16_t* const prefixTable = m_prefixTable.get();
  uint8_t* const suffixTable = m_suffixTable.get();

  m_bitOffset = 0;
  m_inGroupBits = 0;
  m_inGroupWidth = 0;
  uint32_t code = kClear;
  uint32_t old = 0;
  uint8_t finchar = 0;
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
      finchar = static_cast<uint8_t>(old);
      PutByteChecked(finchar);
    } else {
      const uint32_t incode = code;
      // The string is walked from its last byte to its first, so it fills
      // the stack from the end and then goes out in order with one write.
      uint8_t* stack = m_stack.get();
      int32_t pos = m_stackCapacity;
      // Every defined entry's prefix is a smaller code, so the walk below
      // ends; a code beyond the next entry names nothing.
      if (!full && code >= static_cast<uint32_t>(m_freeEnt)) {
        if (code != static_cast<uint32_t>(m_freeEnt)) {
          SetError(ERROR_INVALID_DATA);
          return;
        }
        stack[--pos] = finchar;
        code = old;
      }
      while (code > 0xFF) {
        if (pos == 0) {
          pos = m_stackCapacity;
          if (!GrowStack()) {
            SetError(ERROR_INVALID_DATA);
            return;
          }
          stack = m_stack.get();
        }
        stack[--pos] = suffixTable[code];
        code = prefixTable[code];
      }
      finchar = static_cast<uint8_t>(code);
      // No output follows an error.
      if (HasError()) return;
      if (pos > 0) {
        stack[--pos] = finchar;
      } else {
        m_output.PutByte(finchar);
      }
      m_output.StorePadded(stack + pos, static_cast<size_t>(m_stackCapacity - pos));
      if (!full) {
        prefixTable[m_freeEnt] = static_cast<uint16_t>(old);
        suffixTable[m_freeEnt] = finchar;
        old = incode;
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
