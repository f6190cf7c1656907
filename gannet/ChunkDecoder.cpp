#include "ChunkDecoder.h"

#include <algorithm>

namespace gannet {

namespace {

constexpr int kMaxDigits = 15;  // keeps the size below 2^60
constexpr size_t kMaxLine = 4096;
constexpr size_t kMaxTrailer = 16384;

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

CChunkDecoder::Result CChunkDecoder::Feed(const char* data, size_t size, const Sink& sink) {
  while (size > 0 && m_state != State::kDone && m_state != State::kBad) {
    if (m_state == State::kData) {
      const size_t n = static_cast<size_t>(std::min<uint64_t>(m_remaining, size));
      if (!sink(data, n)) return Result::kSinkFailed;
      data += n;
      size -= n;
      m_remaining -= n;
      if (m_remaining == 0) m_state = State::kDataEnd;
      continue;
    }
    m_state = Step(*data++);
    --size;
  }
  if (m_state == State::kBad) return Result::kBad;
  return m_state == State::kDone ? Result::kDone : Result::kMore;
}

CChunkDecoder::State CChunkDecoder::Step(char c) {
  switch (m_state) {
    case State::kSize: {
      const int value = HexValue(c);
      if (value >= 0) {
        if (++m_digits > kMaxDigits) return State::kBad;
        m_remaining = m_remaining * 16 + static_cast<uint64_t>(value);
        return State::kSize;
      }
      if (m_digits == 0) return State::kBad;
      if (c != ';' && c != ' ' && c != '\t' && c != '\r' && c != '\n') return State::kBad;
      m_lineLength = 0;
      m_state = State::kExtension;
      return Step(c);
    }
    case State::kExtension:
      if (++m_lineLength > kMaxLine) return State::kBad;
      if (c != '\n') return State::kExtension;
      m_digits = 0;
      m_lineLength = 0;
      return m_remaining == 0 ? State::kTrailer : State::kData;
    case State::kDataEnd:
      if (c == '\r' && !m_sawCr) {
        m_sawCr = true;
        return State::kDataEnd;
      }
      m_sawCr = false;
      return c == '\n' ? State::kSize : State::kBad;
    case State::kTrailer:
      if (++m_trailerLength > kMaxTrailer) return State::kBad;
      if (c == '\n') {
        const bool empty = m_lineLength == 0;
        m_lineLength = 0;
        return empty ? State::kDone : State::kTrailer;
      }
      if (c != '\r') ++m_lineLength;
      return State::kTrailer;
    default:
      return m_state;
  }
}

}  // namespace gannet
