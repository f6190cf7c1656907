#pragma once
// Decodes a body sent with "Transfer-Encoding: chunked" (RFC 9112, 7.1) as
// it arrives, in pieces of any size. Chunk extensions and trailer fields are
// skipped. A size of more than 15 hexadecimal digits, a size line or
// trailer without digits or too long, or a chunk not followed by its line
// end makes the body bad; nothing after a bad byte is decoded.

#include <cstddef>
#include <cstdint>
#include <functional>

namespace gannet {

class CChunkDecoder {
 public:
  enum class Result { kMore, kDone, kBad, kSinkFailed };
  // Receives each decoded piece; false stops the decoding.
  using Sink = std::function<bool(const char* data, size_t size)>;

  // Decodes size more bytes of the encoded body. kDone once the last chunk
  // and the trailer ended (bytes after that are ignored), kMore while more
  // are needed, kBad for broken framing, kSinkFailed when sink refused.
  Result Feed(const char* data, size_t size, const Sink& sink);
  bool Done() const { return m_state == State::kDone; }

 private:
  enum class State { kSize, kExtension, kData, kDataEnd, kTrailer, kDone, kBad };
  // One byte of a size line, chunk end or trailer.
  State Step(char c);

  State m_state = State::kSize;
  uint64_t m_remaining = 0;
  int m_digits = 0;
  size_t m_lineLength = 0;
  size_t m_trailerLength = 0;
  bool m_sawCr = false;
};

}  // namespace gannet
