#pragma once
// Authenticated encryption of a whole stream with libsodium's
// crypto_secretstream_xchacha20poly1305, under a random 32-byte key made at
// construction and replaced by a stored one when loaded.
//
// Encoded form (docs/STRONG-STREAM.md): the 24-byte stream header, then the
// input cut into chunks of kChunkSize bytes, each sealed as one message of
// the stream (17 bytes longer than its plaintext); the last chunk, shorter
// than kChunkSize or empty, and only that one, carries the final tag. An
// empty input is the header and one empty final chunk.
//
// Decoding passes on the plaintext of each chunk once it has been
// authenticated, and fails with ERROR_INVALID_DATA (13) on a short or
// damaged header, a chunk that fails authentication (a wrong key included),
// an unknown tag, a stream that ends before its final chunk, or any byte
// after it. After such a failure every Write and Close fails with 13 until
// Reset, and Close does not close the filters downstream, so nothing behind
// this filter runs on unverified data.
//
// A failing allocation fails with ERROR_NOT_ENOUGH_MEMORY (8). The key, the
// stream state and the buffers are wiped when the filter is destroyed.

#include "pipeline/Filter.h"

#include <sodium.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

class CStrongCryptFilter final : public CFilter {
 public:
  // Plaintext bytes in every chunk but the last.
  static constexpr size_t kChunkSize = 65536;
  static constexpr size_t kKeySize = crypto_secretstream_xchacha20poly1305_KEYBYTES;
  static constexpr size_t kHeaderSize = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
  // Bytes a sealed chunk adds to its plaintext: the tag and the MAC.
  static constexpr size_t kChunkOverhead = crypto_secretstream_xchacha20poly1305_ABYTES;
  using Key = std::array<uint8_t, kKeySize>;

  // Throws std::runtime_error when libsodium cannot be initialised.
  explicit CStrongCryptFilter(CFilter* next = nullptr);
  ~CStrongCryptFilter() override;
  // The key as a counted string of exactly 32 bytes; loading anything else
  // throws a BadObject CArchiveException.
  void Serialize(CArchive& archive) override;

  // Encoding: buffers the bytes and seals each chunk once the next byte
  // shows it is not the last. Decoding: opens each chunk once whole and
  // passes its plaintext on. A zero-length write passes nothing on but the
  // header of an encoded stream not yet begun.
  bool Write(const uint8_t* bytes, size_t length) override;
  // Encoding: seals what is buffered as the final chunk, then closes `next`.
  // Decoding: opens what is buffered, checks that the final chunk was seen,
  // then closes `next`.
  bool Close() override;
  // Forgets the stream of the run before: the next Write starts a new one.
  void Reset() override;
  // "Strong (XChaCha20-Poly1305)".
  std::string GetDescription() const override;

  // A new key from libsodium's generator.
  void GenerateKey();
  const Key& GetKey() const { return m_key; }
  void SetKey(const Key& key) { m_key = key; }

 private:
  static constexpr size_t kSealedChunkSize = kChunkSize + kChunkOverhead;

  // Allocates the buffers and starts the stream once per run (writing or
  // reading its header as the direction asks).
  bool Begin(const uint8_t*& bytes, size_t& length);
  bool Encrypt(const uint8_t* bytes, size_t length);
  bool Decrypt(const uint8_t* bytes, size_t length);
  // Seals the buffered plaintext as one chunk and passes it on.
  bool SealChunk(uint8_t tag);
  // Seals `length` bytes of plaintext as one chunk and passes it on.
  bool Seal(const uint8_t* plain, size_t length, uint8_t tag);
  // Opens the buffered chunk and passes its plaintext on.
  bool OpenChunk();
  // Opens one sealed chunk of `length` bytes and passes its plaintext on.
  bool Open(const uint8_t* sealed, size_t length);
  // Opens what is buffered; fails with 13 unless the stream has ended.
  bool FinishDecoding();
  // Marks the stream as failed; sets ERROR_INVALID_DATA, returns false.
  bool Fail();
  void Wipe();

  Key m_key{};
  crypto_secretstream_xchacha20poly1305_state m_state{};
  std::unique_ptr<uint8_t[]> m_in;
  std::unique_ptr<uint8_t[]> m_out;
  std::array<uint8_t, kHeaderSize> m_header{};
  size_t m_headerFill = 0;
  size_t m_fill = 0;
  bool m_started = false;
  bool m_finished = false;
  bool m_failed = false;
};
