// libFuzzer target that holds the LZ filter to the reference coder
// (ReferenceLZFilter.h): both run on the same input and must agree on every
// byte passed downstream, on closing the chain, on the result, the error and
// both counts. Each input is
// - expanded as it is (a stream written by compress -b9..16, say),
// - expanded as the codes behind a valid header whose flags come from the
//   first byte (bit 7 block mode, bits 0-2 a largest width of 9 to 16),
// - compressed, and its stream expanded again to the input,
// - and, for one input in 1024 (those whose FNV-1a hash is a multiple of
//   1024), a quarter megabyte drawn from the input's bytes is compressed and
//   expanded, which passes the dictionary's reset and the padded group that
//   follows CLEAR. That costs as much as some hundred other inputs; a gate
//   the fuzzer cannot learn keeps it from taking over the run.

#include "support/CollectFilter.h"
#include "FuzzFiles.h"
#include "ReferenceLZFilter.h"
#include "pipeline/LZCompressFilter.h"

#include <cstdlib>
#include <string>

namespace {

struct Outcome {
  bool ok = false;
  uint32_t error = 0;
  uint64_t bytesIn = 0;
  uint64_t bytesOut = 0;
  int closes = 0;
  std::string output;
  bool operator==(const Outcome&) const = default;
};

// The filters live for the whole run and serve input after input, as a
// program's filters serve file after file: their tables and windows, some
// megabytes that a new filter allocates and clears, are made once instead of
// for every input. Each run starts afresh (Reset), so a finding that needs
// the input before it is a fault as well.
template <class Filter>
Filter& Kept(bool encode) {
  static Filter compressor;
  static Filter expander;
  return encode ? compressor : expander;
}

template <class Filter>
Outcome RunOne(const std::string& path, bool encode) {
  CCollectFilter collect;
  Filter& lz = Kept<Filter>(encode);
  Prepare(lz, encode, &collect);
  if (!lz.Open(path)) std::abort();
  Outcome outcome;
  outcome.ok = lz.Run();
  outcome.error = lz.GetError();
  outcome.bytesIn = lz.GetBytesIn();
  outcome.bytesOut = lz.GetBytesOut();
  outcome.closes = collect.closes;
  outcome.output = std::move(collect.data);
  return outcome;
}

// Both coders over `bytes`; aborts when they differ in anything.
Outcome RunBoth(const std::string& bytes, bool encode) {
  const std::string& path =
      WriteScratchFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const Outcome ours = RunOne<CLZCompressFilter>(path, encode);
  if (!(ours == RunOne<CReferenceLZFilter>(path, encode))) std::abort();
  return ours;
}

void RoundTrip(const std::string& input) {
  const Outcome compressed = RunBoth(input, true);
  if (!compressed.ok || compressed.bytesIn != input.size()) std::abort();
  const Outcome expanded = RunBoth(compressed.output, false);
  if (!expanded.ok || expanded.output != input) std::abort();
}

// 256 KiB of bytes picked from `input` by a fixed generator: as many
// distinct strings as the input has bytes to offer, enough to fill the
// dictionary.
std::string Stretch(const std::string& input) {
  std::string out(256 * 1024, '\0');
  uint32_t state = 2463534242u ^ static_cast<uint32_t>(input.size());
  for (char& byte : out) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    byte = input[state % input.size()];
  }
  return out;
}

// Whether `input` gets the stretched round trip.
bool Stretches(const std::string& input) {
  uint32_t hash = 2166136261u;
  for (const char byte : input) hash = (hash ^ static_cast<uint8_t>(byte)) * 16777619u;
  return input.size() > 1 && hash % 1024 == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  RunBoth(input, false);
  if (size > 0) {
    const char flags = static_cast<char>((data[0] & 0x80) | (9 + (data[0] & 7)));
    RunBoth(std::string("\x1f\x9d", 2) + flags + input.substr(1), false);
  }
  RoundTrip(input);
  if (Stretches(input)) RoundTrip(Stretch(input.substr(1)));
  return 0;
}
