#pragma once
// Adds a one-byte key to every byte when encoding and subtracts it when
// decoding (modulo 256). The key is a random byte made at construction and
// replaced by a stored one when loaded.

#include "pipeline/BufferFilter.h"

class CDumbCryptFilter final : public CBufferFilter {
 public:
  explicit CDumbCryptFilter(CFilter* next = nullptr, int32_t capacity = kBlockSize);
  ~CDumbCryptFilter() override;
  // The key as one byte.
  void Serialize(CArchive& archive) override;

  // The results of PutByte for each byte in order, a run of bytes at a time.
  bool Write(const uint8_t* bytes, size_t length) override;
  // Adds (encoding) or subtracts (decoding) the key, then the CBufferFilter
  // PutByte.
  bool PutByte(uint8_t byte) override;

  uint8_t GetKeyByte() const { return m_keyByte; }
  void SetKeyByte(uint8_t key) { m_keyByte = key; }

 private:
  uint8_t m_keyByte = 0;
};

inline bool CDumbCryptFilter::PutByte(uint8_t byte) {
  const uint8_t out = IsEncoding() ? static_cast<uint8_t>(byte + m_keyByte)
                                   : static_cast<uint8_t>(byte - m_keyByte);
  return CBufferFilter::PutByte(out);
}
