// libFuzzer target for the Strong filter's decrypting reader, which takes
// whatever a web server hands it. Under a fixed key:
//  - the input itself, decoded, either fails with 13 or was a whole stream
//    (its length matches the plaintext's by the chunk arithmetic);
//  - the input encoded and decoded again comes back whole, however the
//    writes are cut (the cut size comes from the input);
//  - that stream with one byte changed, or cut short at any point, fails
//    with 13 (the position and the change come from the input).

#include "support/CollectFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

struct Outcome {
  bool ok;
  std::string output;
};

// Runs one Strong filter over `input` in writes of `piece` bytes.
Outcome RunStrong(const std::string& input, bool encode, size_t piece) {
  CStrongCryptFilter::Key key;
  for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
  CCollectFilter collect;
  CStrongCryptFilter strong;
  strong.SetKey(key);
  Prepare(strong, encode, &collect);
  SetLastError(0);
  const auto* bytes = reinterpret_cast<const uint8_t*>(input.data());
  bool ok = true;
  for (size_t pos = 0; ok && pos < input.size(); pos += piece) {
    ok = strong.Write(bytes + pos, std::min(piece, input.size() - pos));
  }
  ok = ok && strong.Close();
  if (!ok && GetLastError() != ERROR_INVALID_DATA) std::abort();
  return {ok, std::move(collect.data)};
}

size_t StreamSize(size_t plain) {
  const size_t chunk = CStrongCryptFilter::kChunkSize;
  const size_t chunks = plain == 0 ? 1 : (plain + chunk - 1) / chunk;
  return CStrongCryptFilter::kHeaderSize + plain + CStrongCryptFilter::kChunkOverhead * chunks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // Pieces from one byte up; a large input is cut into a few hundred at
  // most, as single bytes cost thousands of calls and cross the chunk
  // boundaries no differently.
  const size_t piece = std::max<size_t>(size == 0 ? 1 : 1 + data[0] * 331u, size / 256);

  const Outcome read = RunStrong(input, false, piece);
  if (read.ok && StreamSize(read.output.size()) != size) std::abort();

  const Outcome sealed = RunStrong(input, true, piece);
  if (!sealed.ok || sealed.output.size() != StreamSize(size)) std::abort();
  const Outcome opened = RunStrong(sealed.output, false, piece);
  if (!opened.ok || opened.output != input) std::abort();

  const size_t at = size < 4 ? size : (data[1] | data[2] << 8 | data[3] << 16);
  std::string changed = sealed.output;
  changed[at % changed.size()] ^= static_cast<char>(size == 0 ? 1 : data[0] | 1);
  if (RunStrong(changed, false, piece).ok) std::abort();
  if (RunStrong(sealed.output.substr(0, at % sealed.output.size()), false, piece).ok) std::abort();
  return 0;
}
