#pragma once
// The end of a chain: writes what reaches it to its file, which its Close
// leaves open. A chain goes on behind a file through a stage
// (pipeline/StageFilter.h).

#include "pipeline/HandleFilter.h"

class CSinkFilter : public CHandleFilter {
 public:
  explicit CSinkFilter(CFilter* next = nullptr);
  explicit CSinkFilter(std::unique_ptr<CFileHandle> handle);
  explicit CSinkFilter(CFileHandle& handle);
  ~CSinkFilter() override;

  // Writes the bytes to the file and counts them. False at once while an
  // error is recorded; a failing write records the system's code.
  bool Write(const uint8_t* bytes, size_t length) override;
};
