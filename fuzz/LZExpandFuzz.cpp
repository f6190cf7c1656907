// libFuzzer target for the LZ filter: any input expands without touching
// memory outside the filter's tables and stack and fails, if at all, with
// 13; and any input compresses to a stream that expands to it again.

#include "FuzzFiles.h"
#include "pipeline/LZCompressFilter.h"

#include <cstdlib>
#include <string>

namespace {

class CCollect : public CFilter {
 public:
  bool Write(const uint8_t* bytes, size_t length) override {
    data.append(reinterpret_cast<const char*>(bytes), length);
    return true;
  }
  std::string data;
};

// Runs one LZ filter over `path`; returns the filter's error.
uint32_t RunLZ(const std::string& path, bool encode, std::string& output) {
  CCollect collect;
  CLZCompressFilter lz;
  lz.Reset();
  if (encode) {
    lz.SetEncode();
  } else {
    lz.SetDecode();
  }
  lz.SetNext(&collect);
  if (!lz.Open(path)) std::abort();
  const bool ok = lz.Run();
  if (ok != (lz.GetError() == 0)) std::abort();
  output = std::move(collect.data);
  return lz.GetError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = WriteScratchFile(data, size);
  std::string expanded;
  const uint32_t error = RunLZ(path, false, expanded);
  if (error != 0 && error != 13) std::abort();

  std::string compressed;
  if (RunLZ(path, true, compressed) != 0) std::abort();
  const std::string& again = WriteScratchFile(reinterpret_cast<const uint8_t*>(compressed.data()),
                                              compressed.size());
  std::string restored;
  if (RunLZ(again, false, restored) != 0) std::abort();
  if (restored.size() != size || restored.compare(0, size, reinterpret_cast<const char*>(data), size) != 0) {
    std::abort();
  }
  return 0;
}
