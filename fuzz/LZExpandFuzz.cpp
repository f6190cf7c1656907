// libFuzzer target for the LZ filter. The input expands twice: as it is, and
// as the codes after a valid .Z header whose flags come from the first byte
// (bit 7 block mode, bits 0-2 a largest code width of 9 to 16), so that the
// code reader and the dictionary see arbitrary codes and not only arbitrary
// headers. Each expansion stays inside the filter's tables and stack and
// fails, if at all, with 13. Then the input compresses to a stream that
// expands to it again.

#include "support/CollectFilter.h"
#include "FuzzFiles.h"
#include "pipeline/LZCompressFilter.h"

#include <cstdlib>
#include <string>

namespace {

// The filters live for the whole run and serve input after input, as a
// program's filters serve file after file: their tables and window, some
// megabytes that a new filter allocates and clears, are made once instead of
// for every input. Each run starts afresh (Reset), so a finding that needs
// the input before it is a fault as well.
CLZCompressFilter& Filter(bool encode) {
  static CLZCompressFilter compressor;
  static CLZCompressFilter expander;
  return encode ? compressor : expander;
}

// Runs one LZ filter over `path`; returns the filter's error.
uint32_t RunLZ(const std::string& path, bool encode, std::string& output) {
  CCollectFilter collect;
  CLZCompressFilter& lz = Filter(encode);
  Prepare(lz, encode, &collect);
  if (!lz.Open(path)) std::abort();
  const bool ok = lz.Run();
  if (ok != (lz.GetError() == 0)) std::abort();
  output = std::move(collect.data);
  return lz.GetError();
}

void ExpandOrFail(const std::string& path) {
  std::string expanded;
  const uint32_t error = RunLZ(path, false, expanded);
  if (error != 0 && error != 13) std::abort();
}

const std::string& WriteString(const std::string& bytes) {
  return WriteScratchFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  ExpandOrFail(WriteString(input));
  if (size > 0) {
    const char flags = static_cast<char>((data[0] & 0x80) | (9 + (data[0] & 7)));
    ExpandOrFail(WriteString(std::string("\x1f\x9d", 2) + flags + input.substr(1)));
  }

  std::string compressed;
  if (RunLZ(WriteString(input), true, compressed) != 0) std::abort();
  std::string restored;
  if (RunLZ(WriteString(compressed), false, restored) != 0) std::abort();
  if (restored != input) std::abort();
  return 0;
}
