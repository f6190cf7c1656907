#pragma once
// The end of a chain for the fuzz targets and the seed writer: keeps every
// byte written to it; and the linking of one filter in front of it.

#include "pipeline/Filter.h"

#include <string>

class CCollectFilter : public CFilter {
 public:
  bool Write(const uint8_t* bytes, size_t length) override {
    data.append(reinterpret_cast<const char*>(bytes), length);
    return true;
  }
  std::string data;
};

// Readies `filter` for one run in the direction asked, writing into `next`.
inline void LinkForRun(CFilter& filter, bool encode, CFilter& next) {
  filter.Reset();
  if (encode) {
    filter.SetEncode();
  } else {
    filter.SetDecode();
  }
  filter.SetNext(&next);
}
