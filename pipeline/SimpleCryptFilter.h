#pragma once
// Repeating-key XOR, the same in both directions. The key (10 to 19 random
// bytes, any values) is made at construction and replaced by a stored one
// when loaded; the key position starts again at byte 0 on every Reset.

#include "pipeline/BufferFilter.h"

#include <string>
#include <vector>

class CSimpleCryptFilter final : public CBufferFilter {
 public:
  explicit CSimpleCryptFilter(CFilter* next = nullptr, int32_t capacity = kBlockSize);
  ~CSimpleCryptFilter() override;
  // The key as a counted string; loading also restarts the key position.
  void Serialize(CArchive& archive) override;

  // The results of PutByte for each byte in order, a run of bytes at a time.
  bool Write(const uint8_t* bytes, size_t length) override;
  // XORs the byte with the next key byte (an empty key changes nothing), then
  // the CBufferFilter PutByte.
  bool PutByte(uint8_t byte) override;
  void Reset() override;
  // "Simple".
  std::string GetDescription() const override;

  // A new key of 10 to 19 bytes from the system's random source.
  void GenerateKey();

  const std::string& GetKey() const { return m_key; }
  // Replaces the key and restarts the key position.
  void SetKey(std::string key);

 private:
  // The longest run XORed in one pass over the key stream.
  static constexpr size_t kStreamRun = 256;

  // XORs `n` bytes with the key from the key position on and advances it as
  // n calls of PutByte would.
  void Apply(const uint8_t* in, uint8_t* out, size_t n);

  std::string m_key;
  size_t m_keyPos = 0;
  // The key repeated to its length plus kStreamRun bytes, so that a run
  // starting at any key position reads the key stream without wrapping.
  std::vector<uint8_t> m_keyStream;
};

inline bool CSimpleCryptFilter::PutByte(uint8_t byte) {
  if (m_keyPos >= m_key.size()) m_keyPos = 0;
  if (!m_key.empty()) byte ^= static_cast<uint8_t>(m_key[m_keyPos++]);
  return CBufferFilter::PutByte(byte);
}
