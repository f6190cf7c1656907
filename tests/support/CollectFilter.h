#pragma once
// The end of a chain for the tests and the fuzz targets: keeps what reaches it
// (or only counts it), and can be told to fail all its writes or those with
// given numbers (from 0), leaving `failureCode` as the last error when it is
// not 0. Header-only, so that the fuzz build links it without a library.

#include "pipeline/Filter.h"
#include "platform/SystemError.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

class CCollectFilter : public CFilter {
 public:
  explicit CCollectFilter(bool keepData = true) : m_keepData(keepData) {}

  bool Write(const uint8_t* b, size_t length) override {
    const bool fail = failWrites || failingWrites.count(writeSizes.size()) != 0;
    writeSizes.push_back(length);
    if (fail && failureCode != 0) SetLastError(failureCode);
    if (fail) return false;
    if (m_keepData) data.append(reinterpret_cast<const char*>(b), length);
    bytes += length;
    return CFilter::Write(b, length);
  }
  bool Close() override {
    ++closes;
    return CFilter::Close();
  }

  std::string data;
  uint64_t bytes = 0;
  std::vector<size_t> writeSizes;
  int closes = 0;
  bool failWrites = false;
  std::set<size_t> failingWrites;
  uint32_t failureCode = 0;

 private:
  bool m_keepData;
};

// Resets `filter`, sets its direction and links `next`, as a run does.
inline void Prepare(CFilter& filter, bool encode, CFilter* next) {
  filter.Reset();
  if (encode) {
    filter.SetEncode();
  } else {
    filter.SetDecode();
  }
  filter.SetNext(next);
}
