#include "pipeline/SimpleCryptFilter.h"

#include "framework/Archive.h"
#include "pipeline/SecureRandom.h"

#include <algorithm>
#include <cstring>

CSimpleCryptFilter::CSimpleCryptFilter(CFilter* next, int32_t capacity)
    : CBufferFilter(next, capacity) {
  GenerateKey();
}

CSimpleCryptFilter::~CSimpleCryptFilter() = default;

void CSimpleCryptFilter::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive << m_key;
  } else {
    SetKey(archive.ReadString());
  }
}

bool CSimpleCryptFilter::Write(const uint8_t* bytes, size_t length) {
  return StoreTransformed(bytes, length, [this](const uint8_t* in, uint8_t* out, size_t n) {
    Apply(in, out, n);
  });
}

void CSimpleCryptFilter::Apply(const uint8_t* in, uint8_t* out, size_t n) {
  const size_t keyLength = m_key.size();
  if (keyLength == 0) {
    m_keyPos = 0;
    std::memcpy(out, in, n);
    return;
  }
  // PutByte leaves the position at the key length after the last key byte
  // and wraps it when the next byte comes; so does this.
  size_t pos = m_keyPos >= keyLength ? 0 : m_keyPos;
  while (n > 0) {
    const size_t run = std::min(n, kStreamRun);
    const uint8_t* const key = m_keyStream.data() + pos;
    size_t i = 0;
    for (; i + sizeof(uint64_t) <= run; i += sizeof(uint64_t)) {
      uint64_t word;
      uint64_t keyWord;
      std::memcpy(&word, in + i, sizeof word);
      std::memcpy(&keyWord, key + i, sizeof keyWord);
      word ^= keyWord;
      std::memcpy(out + i, &word, sizeof word);
    }
    for (; i < run; ++i) out[i] = in[i] ^ key[i];
    in += run;
    out += run;
    n -= run;
    pos = (pos + run) % keyLength;
    if (n == 0 && pos == 0) pos = keyLength;
  }
  m_keyPos = pos;
}

void CSimpleCryptFilter::Reset() {
  CBufferFilter::Reset();
  m_keyPos = 0;
}

std::string CSimpleCryptFilter::GetDescription() const { return "Simple"; }

void CSimpleCryptFilter::GenerateKey() {
  uint8_t draw;
  FillSecureRandom(&draw, 1);
  std::string key(draw % 10 + 10, '\0');
  FillSecureRandom(key.data(), key.size());
  SetKey(std::move(key));
}

void CSimpleCryptFilter::SetKey(std::string key) {
  m_key = std::move(key);
  m_keyPos = 0;
  m_keyStream.clear();
  if (m_key.empty()) return;
  m_keyStream.resize(m_key.size() + kStreamRun);
  for (size_t i = 0; i < m_keyStream.size(); ++i) {
    m_keyStream[i] = static_cast<uint8_t>(m_key[i % m_key.size()]);
  }
}
