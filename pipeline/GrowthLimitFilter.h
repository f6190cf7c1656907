#pragma once
// Watches a compressor's output: passes every byte on unchanged while the
// output stays within a few bytes of the input the compressor has read, and
// refuses the write or close that would take it past that, and stops the
// compressor's reading with ERROR_FILE_TOO_LARGE. Compression that grows
// what it is given (data compressed already, random bytes) is then stopped
// early, and the caller sends the file without it.
//
// The input count is the compressor's own reading position, which runs at
// most one block ahead of what it has compressed; the check at Close, when
// everything read has been compressed, is exact.

#include "pipeline/Filter.h"

#include <cstdint>

class CHandleFilter;

class CGrowthLimitFilter : public CFilter {
 public:
  // What compression may add to its input: the .Z header and the first
  // codes, which take more bits than the bytes they stand for.
  static constexpr uint64_t kSlack = 64;

  // `reader` is the compressor reading the input; it must outlive the run.
  CGrowthLimitFilter(CHandleFilter& reader, CFilter* next);

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Close() override;
  void Reset() override;

  // Whether the output grew past the input; the run failed then.
  bool Exceeded() const { return m_exceeded; }

 private:
  bool WithinLimit();

  CHandleFilter& m_reader;
  uint64_t m_written = 0;
  bool m_exceeded = false;
};
