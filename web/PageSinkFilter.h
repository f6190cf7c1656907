#pragma once
// The end of the page's decoding chain: hands every decoded block to the
// page and counts the bytes, so that the decoder can check the size.

#include "pipeline/Filter.h"

#include <cstdint>

class CPageSinkFilter final : public CFilter {
 public:
  bool Write(const uint8_t* bytes, size_t length) override;
  // Starts a new count.
  void Reset() override { m_count = 0; }
  uint64_t GetByteCount() const { return m_count; }

 private:
  uint64_t m_count = 0;
};
