#pragma once
// The end of a chain: writes what reaches it to its file. A sink that has a
// `next` of its own (a source reading the same file) rewinds the file at
// Close and runs that source, so a chain can continue behind a temporary
// file.

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
  // Without `next`: true; the file stays open. With `next`: unlinks it,
  // rewinds the file and returns the result of `next`'s Run. When an error is
  // recorded or the rewind fails, `next` is not run and the result is false.
  bool Close() override;
};
