#include "pipeline/LZEncoder.h"

#include "pipeline/LZCodePacker.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr uint32_t kClear = 256;
constexpr int32_t kMinBits = 9;
// A dictionary holds fewer strings than this, so no chain of one byte is longer.
constexpr size_t kRunCapacity = size_t{1} << 16;
// Shorter runs are left to the byte loop: in text they are common and end soon.
constexpr size_t kLongRun = 64;
// A walk back over a pending string longer than this costs more than the
// byte loop coding the next chunk.
constexpr size_t kWalkLimit = 8192;

bool StartsLongRun(const uint8_t* bytes, size_t length) {
  if (length < kLongRun) return false;
  return std::all_of(bytes + 1, bytes + kLongRun, [&](uint8_t b) { return b == bytes[0]; });
}

// The bytes from the start that equal the first.
size_t RunLength(const uint8_t* bytes, size_t length) {
  const uint64_t pattern = 0x0101010101010101ull * bytes[0];
  size_t n = 1;
  for (uint64_t word; n + 8 <= length; n += 8) {
    std::memcpy(&word, bytes + n, 8);
    if (word != pattern) break;
  }
  while (n < length && bytes[n] == bytes[0]) ++n;
  return n;
}

}  // namespace

CLZEncoder::CLZEncoder() = default;

CLZEncoder::~CLZEncoder() = default;

bool CLZEncoder::Allocate() {
  if (!m_keys) m_keys.reset(new (std::nothrow) uint32_t[kSlots]);
  if (!m_codes) m_codes.reset(new (std::nothrow) uint16_t[kIds]);
  if (!m_run) m_run.reset(new (std::nothrow) uint32_t[kRunCapacity]);
  return m_keys && m_codes && m_run;
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
  m_runLength = 0;
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
  while (length > 0) {
    size_t done = StartsLongRun(bytes, length) ? EncodeRun(bytes, length, packer) : 0;
    if (done == 0) {
      done = std::min(length, kChunk);
      EncodeChunk(bytes, done, packer);
    }
    bytes += done;
    length -= done;
  }
}

size_t CLZEncoder::EncodeRun(const uint8_t* bytes, size_t length, CLZCodePacker& packer) {
  const uint32_t byte = bytes[0];
  if (!m_pending) return 0;
  if (byte != m_runByte || m_runLength == 0) {
    m_runByte = byte;
    m_run[0] = byte;
    m_runLength = 1;
    m_runAt = 0;
  }
  size_t at = 0;  // the pending string is the byte repeated at + 1 times
  if (!FindPendingInRun(at)) return 0;
  const size_t run = RunLength(bytes, length);
  size_t left = run;
  for (;;) {
    // Learn the chain as far as the run could take the pending string.
    bool found = true;
    uint32_t next = 0;
    while (m_runLength <= at + left) {
      next = Find(m_run[m_runLength - 1], byte, found);
      if (!found) break;
      m_run[m_runLength++] = next;
    }
    if (found) {
      at += left;
      left = 0;
      break;
    }
    // The string grows to the longest of the chain; the next byte ends it.
    left -= m_runLength - 1 - at;
    at = m_runLength - 1;
    if (m_freeEnt > m_codeLimit) break;
    packer.Put(m_codes[m_run[at]]);
    Add(next, m_run[at], byte, packer);
    m_run[m_runLength++] = next;
    at = 0;
    --left;
  }
  m_current = m_run[at];
  m_runAt = at;
  return run - left;
}

bool CLZEncoder::FindPendingInRun(size_t& at) {
  if (m_run[m_runAt] == m_current) {
    at = m_runAt;
    return true;
  }
  // The byte loop left the string here: walk back to its first byte.
  size_t length = 1;
  for (uint32_t id = m_current, byte = 0; id != m_runByte; ++length) {
    if (id < kPairBase || length > kWalkLimit) return false;
    id = Parent(id, byte);
    if (byte != m_runByte) return false;
  }
  uint32_t byte = 0;
  for (uint32_t id = m_current, i = static_cast<uint32_t>(length); i > 0; id = Parent(id, byte)) {
    m_run[--i] = id;
  }
  m_runLength = std::max(m_runLength, length);
  at = length - 1;
  return true;
}

uint32_t CLZEncoder::Parent(uint32_t id, uint32_t& byte) const {
  const uint32_t key =
      id >= kSlotBase ? m_keys[id - kSlotBase] & ((1u << kGenerationShift) - 1) : id - kPairBase;
  byte = key & 0xFF;
  return key >> 8;
}

uint32_t CLZEncoder::Find(uint32_t parent, uint32_t byte, bool& found) const {
  if (parent < kPairBase) {
    const uint32_t id = kPairBase + (parent << 8 | byte);
    found = m_codes[id] != 0;
    return id;
  }
  const uint32_t key = parent << 8 | byte;
  const uint32_t tagged = key | m_generationBits;
  uint32_t slot = SlotOf(key);
  uint32_t held = m_keys[slot];
  while (held != tagged && held >= m_generationBits) {
    slot = (slot + 1) & (kSlots - 1);
    held = m_keys[slot];
  }
  found = held == tagged;
  return kSlotBase + slot;
}

void CLZEncoder::Add(uint32_t id, uint32_t parent, uint32_t byte, CLZCodePacker& packer) {
  if (id >= kSlotBase) m_keys[id - kSlotBase] = (parent << 8 | byte) | m_generationBits;
  m_codes[id] = static_cast<uint16_t>(m_freeEnt);
  if (m_freeEnt > static_cast<uint32_t>(m_maxCode)) {
    ++m_nBits;
    m_maxCode += static_cast<int32_t>(m_freeEnt);
    packer.SetWidth(m_nBits);
  }
  ++m_freeEnt;
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
