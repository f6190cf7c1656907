#include "pipeline/StrongCryptFilter.h"

#include "framework/Archive.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace {

constexpr uint8_t kTagMessage = crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
constexpr uint8_t kTagFinal = crypto_secretstream_xchacha20poly1305_TAG_FINAL;

}  // namespace

CStrongCryptFilter::CStrongCryptFilter(CFilter* next) : CFilter(next) {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
  GenerateKey();
}

CStrongCryptFilter::~CStrongCryptFilter() {
  Wipe();
  sodium_memzero(m_key.data(), m_key.size());
}

void CStrongCryptFilter::Serialize(CArchive& archive) {
  // Byte for byte a counted string of 32 bytes, read without passing the key
  // through a string that nobody wipes.
  if (archive.IsStoring()) {
    archive << static_cast<uint8_t>(kKeySize);
    archive.Write(m_key.data(), m_key.size());
    return;
  }
  uint8_t length = 0;
  archive >> length;
  if (length != kKeySize) throw CArchiveException(CArchiveException::Cause::BadObject);
  archive.Read(m_key.data(), m_key.size());
}

void CStrongCryptFilter::GenerateKey() { crypto_secretstream_xchacha20poly1305_keygen(m_key.data()); }

std::string CStrongCryptFilter::GetDescription() const { return "Strong (XChaCha20-Poly1305)"; }

void CStrongCryptFilter::Reset() {
  CFilter::Reset();
  Wipe();
}

void CStrongCryptFilter::Wipe() {
  sodium_memzero(&m_state, sizeof m_state);
  if (m_in) sodium_memzero(m_in.get(), kSealedChunkSize);
  if (m_out) sodium_memzero(m_out.get(), kSealedChunkSize);
  m_headerFill = 0;
  m_fill = 0;
  m_started = false;
  m_finished = false;
  m_failed = false;
}

bool CStrongCryptFilter::Fail() {
  m_failed = true;
  SetLastError(ERROR_INVALID_DATA);
  return false;
}

bool CStrongCryptFilter::Begin(const uint8_t*& bytes, size_t& length) {
  if (m_failed) return Fail();
  if (m_started) return true;
  if (!m_in) {
    m_in.reset(new (std::nothrow) uint8_t[kSealedChunkSize]);
    m_out.reset(new (std::nothrow) uint8_t[kSealedChunkSize]);
    if (!m_in || !m_out) {
      m_in.reset();
      m_out.reset();
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
  }
  if (IsEncoding()) {
    crypto_secretstream_xchacha20poly1305_init_push(&m_state, m_header.data(), m_key.data());
    m_started = true;
    return CFilter::Write(m_header.data(), m_header.size());
  }
  const size_t take = std::min(length, kHeaderSize - m_headerFill);
  if (take == 0) return true;
  std::memcpy(m_header.data() + m_headerFill, bytes, take);
  m_headerFill += take;
  bytes += take;
  length -= take;
  if (m_headerFill < kHeaderSize) return true;
  m_started = true;
  if (crypto_secretstream_xchacha20poly1305_init_pull(&m_state, m_header.data(), m_key.data()) != 0) {
    return Fail();
  }
  return true;
}

bool CStrongCryptFilter::Write(const uint8_t* bytes, size_t length) {
  if (!Begin(bytes, length)) return false;
  return IsEncoding() ? Encrypt(bytes, length) : Decrypt(bytes, length);
}

bool CStrongCryptFilter::Encrypt(const uint8_t* bytes, size_t length) {
  while (length > 0) {
    // A full chunk is sealed only now that more input shows it is not the
    // last one; the last is sealed by Close with the final tag.
    if (m_fill == kChunkSize && !SealChunk(kTagMessage)) return false;
    // Whole chunks that more input follows are sealed where they lie.
    if (m_fill == 0 && length > kChunkSize) {
      if (!Seal(bytes, kChunkSize, kTagMessage)) return false;
      bytes += kChunkSize;
      length -= kChunkSize;
      continue;
    }
    const size_t take = std::min(length, kChunkSize - m_fill);
    std::memcpy(m_in.get() + m_fill, bytes, take);
    m_fill += take;
    bytes += take;
    length -= take;
  }
  return true;
}

bool CStrongCryptFilter::Decrypt(const uint8_t* bytes, size_t length) {
  while (length > 0) {
    if (m_finished) return Fail();
    if (m_fill == 0 && length >= kSealedChunkSize) {
      if (!Open(bytes, kSealedChunkSize)) return false;
      bytes += kSealedChunkSize;
      length -= kSealedChunkSize;
      continue;
    }
    const size_t take = std::min(length, kSealedChunkSize - m_fill);
    std::memcpy(m_in.get() + m_fill, bytes, take);
    m_fill += take;
    bytes += take;
    length -= take;
    if (m_fill == kSealedChunkSize && !OpenChunk()) return false;
  }
  return true;
}

bool CStrongCryptFilter::SealChunk(uint8_t tag) {
  const size_t fill = m_fill;
  m_fill = 0;
  return Seal(m_in.get(), fill, tag);
}

bool CStrongCryptFilter::Seal(const uint8_t* plain, size_t length, uint8_t tag) {
  unsigned long long sealed = 0;
  crypto_secretstream_xchacha20poly1305_push(&m_state, m_out.get(), &sealed, plain, length,
                                             nullptr, 0, tag);
  return CFilter::Write(m_out.get(), static_cast<size_t>(sealed));
}

bool CStrongCryptFilter::OpenChunk() {
  const size_t fill = m_fill;
  m_fill = 0;
  return Open(m_in.get(), fill);
}

bool CStrongCryptFilter::Open(const uint8_t* sealed, size_t length) {
  unsigned long long opened = 0;
  uint8_t tag = 0;
  if (crypto_secretstream_xchacha20poly1305_pull(&m_state, m_out.get(), &opened, &tag, sealed,
                                                 length, nullptr, 0) != 0) {
    return Fail();
  }
  // Only a full chunk may go on; only a short one, or the last full one,
  // may end the stream.
  if (tag == kTagFinal) {
    m_finished = true;
  } else if (tag != kTagMessage || opened != kChunkSize) {
    return Fail();
  }
  return CFilter::Write(m_out.get(), static_cast<size_t>(opened));
}

bool CStrongCryptFilter::Close() {
  const uint8_t* none = nullptr;
  size_t noLength = 0;
  const bool begun = Begin(none, noLength);
  if (IsEncoding()) {
    const bool sealed = begun && SealChunk(kTagFinal);
    const bool closed = CFilter::Close();
    return sealed && closed;
  }
  if (!begun || !FinishDecoding()) {
    // The data behind this filter was not verified whole: nothing may use it.
    SetNext(nullptr);
    return false;
  }
  return CFilter::Close();
}

bool CStrongCryptFilter::FinishDecoding() {
  if (!m_started) return Fail();
  if (m_fill > 0 && !OpenChunk()) return false;
  return m_finished || Fail();
}
