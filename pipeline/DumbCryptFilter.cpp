#include "pipeline/DumbCryptFilter.h"

#include "framework/Archive.h"
#include "pipeline/SecureRandom.h"

#include <cstring>

namespace {
constexpr uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kHighBits = 0x8080808080808080ull;

// out[i] = in[i] + delta (mod 256) for n bytes, eight at a time: the low
// seven bits of each byte are added apart from the top bit, so that no carry
// crosses into the next byte, and the top bit is their sum modulo 2.
void AddToEach(const uint8_t* in, uint8_t* out, size_t n, uint8_t delta) {
  const uint64_t deltas = delta * 0x0101010101010101ull;
  size_t i = 0;
  for (; i + sizeof(uint64_t) <= n; i += sizeof(uint64_t)) {
    uint64_t word;
    std::memcpy(&word, in + i, sizeof word);
    word = ((word & kLowSevenBits) + (deltas & kLowSevenBits)) ^ ((word ^ deltas) & kHighBits);
    std::memcpy(out + i, &word, sizeof word);
  }
  for (; i < n; ++i) out[i] = static_cast<uint8_t>(in[i] + delta);
}

}  // namespace

CDumbCryptFilter::CDumbCryptFilter(CFilter* next, int32_t capacity)
    : CBufferFilter(next, capacity) {
  FillSecureRandom(&m_keyByte, 1);
}

CDumbCryptFilter::~CDumbCryptFilter() = default;

void CDumbCryptFilter::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive << m_keyByte;
  } else {
    archive >> m_keyByte;
  }
}

bool CDumbCryptFilter::Write(const uint8_t* bytes, size_t length) {
  const uint8_t delta = IsEncoding() ? m_keyByte : static_cast<uint8_t>(-m_keyByte);
  return StoreTransformed(bytes, length, [delta](const uint8_t* in, uint8_t* out, size_t n) {
    AddToEach(in, out, n, delta);
  });
}
