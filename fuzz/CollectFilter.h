#pragma once
// The end of a chain for the fuzz targets and the seed writer: keeps every
// byte written to it.

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
