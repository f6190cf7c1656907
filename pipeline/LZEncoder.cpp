#include "pipeline/LZEncoder.h"

#include "pipeline/LZCodePacker.h"

#include <algorithm>
#include <new>

namespace {

constexpr uint32_t kClear = 256;
constexpr int32_t kMinBits = 9;

}  // namespace

CLZEncoder::CLZEncoder() = default;

CLZEncoder::~CLZEncoder() = default;

bool CLZEncoder::Allocate() {
  if (!m_keys) m_keys.reset(new (std::nothrow) uint32_t[kSlots]);
  if (!m_codes) m_codes.reset(new (std::nothrow) uint16_t[kIds]);
  return m_keys && m_codes;
}

void CLZEncoder::NewGeneration() {
  uint32_t generation = (m_generationBits >> kGenerationShift) + 1;
  if (generation > kGenerations) {
    std::fill_n(m_keys.get(), kSlots, 0u);
    generation = 1;
  }
  m_generationBits = generation << kGenerationShift;
  std::fill_n(m_codes.get() + kPairBase, kSlotBase - kPairBase, uint16_t{0});
  m_nBits = kMinBits;
  m_maxCode = (1 << kMinBits) - 1;
  m_freeEnt = m_blockMode ? kClear + 1 : kClear;
}

void CLZEncoder::Start(uint32_t codeLimit, bool blockMode, CLZCodePacker& packer) {
  m_codeLimit = codeLimit;
  m_blockMode = blockMode;
  // A fresh stream owes nothing to an earlier one's generations.
  std::fill_n(m_keys.get(), kSlots, 0u);
  m_generationBits = 0;
  NewGeneration();
  for (uint32_t byte = 0; byte < 256; ++byte) m_codes[byte] = static_cast<uint16_t>(byte);
  m_pending = false;
  packer.SetWidth(m_nBits);
}

void CLZEncoder::Encode(const uint8_t* bytes, size_t length, CLZCodePacker& packer) {
  // Every byte puts at most one code, but for the two before CLEAR: a
  // chunk's codes fit the packer's room.
  constexpr size_t kChunk = CLZCodePacker::kRoom / 2;
  while (length > kChunk) {
    EncodeChunk(bytes, kChunk, packer);
    bytes += kChunk;
    length -= kChunk;
  }
  EncodeChunk(bytes, length, packer);
}

void CLZEncoder::EncodeChunk(const uint8_t* bytes, size_t length, CLZCodePacker& packer) {
  const uint8_t* in = bytes;
  const uint8_t* const end = bytes + length;
  if (in == end) return;
  uint32_t* const keys = m_keys.get();
  uint16_t* const codes = m_codes.get();
  // The dictionary's counters live in locals while the loop runs, and the
  // codes go straight into the packer's buffer.
  uint32_t freeEnt = m_freeEnt;
  auto maxCode = static_cast<uint32_t>(m_maxCode);
  const uint32_t codeLimit = m_codeLimit;
  uint32_t generation = m_generationBits;
  if (!m_pending) packer.SetWidth(m_nBits);
  uint16_t* put = packer.Reserve(2 * length);
  uint32_t current = m_pending ? m_current : *in++;
  while (in != end) {
    const uint32_t byte = *in++;
    uint16_t* entry;
    if (current < kPairBase) {
      const uint32_t id = kPairBase + (current << 8 | byte);
      if (codes[id] != 0) {
        current = id;
        continue;
      }
      *put++ = static_cast<uint16_t>(current);
      entry = codes + id;
      if (freeEnt > codeLimit) goto full;
    } else {
      const uint32_t key = current << 8 | byte;
      const uint32_t tagged = key | generation;
      uint32_t slot = SlotOf(key);
      uint32_t held = keys[slot];
      while (held != tagged && held >= generation) {
        slot = (slot + 1) & (kSlots - 1);
        held = keys[slot];
      }
      if (held == tagged) {
        current = kSlotBase + slot;
        continue;
      }
      *put++ = codes[current];
      entry = codes + kSlotBase + slot;
      if (freeEnt > codeLimit) goto full;
      keys[slot] = tagged;
    }
    *entry = static_cast<uint16_t>(freeEnt);
    if (freeEnt > maxCode) {
      ++m_nBits;
      maxCode += freeEnt;
      packer.Commit(put);
      packer.SetWidth(m_nBits);
      put = packer.Reserve(2 * length);
    }
    ++freeEnt;
    current = byte;
    continue;
  full:
    current = byte;
    if (!m_blockMode) continue;
    // Full: the byte that ended the string goes out as a code of its own,
    // then CLEAR, and the next byte starts afresh.
    *put++ = static_cast<uint16_t>(byte);
    *put++ = kClear;
    NewGeneration();
    freeEnt = m_freeEnt;
    maxCode = static_cast<uint32_t>(m_maxCode);
    generation = m_generationBits;
    if (in == end) {
      m_freeEnt = freeEnt;
      m_maxCode = static_cast<int32_t>(maxCode);
      m_pending = false;
      packer.Commit(put);
      return;
    }
    // Only a code still to come starts a group of the new width; input
    // that ends here leaves the group that holds CLEAR as it is.
    packer.Commit(put);
    packer.SetWidth(m_nBits);
    put = packer.Reserve(2 * length);
    current = *in++;
  }
  packer.Commit(put);
  m_freeEnt = freeEnt;
  m_maxCode = static_cast<int32_t>(maxCode);
  m_current = current;
  m_pending = true;
}

void CLZEncoder::Finish(CLZCodePacker& packer) {
  if (m_pending) packer.Put(m_codes[m_current]);
  m_pending = false;
}
