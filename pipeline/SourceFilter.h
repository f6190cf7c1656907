#pragma once
// The head of a chain: reads a file in blocks of kBlockSize bytes and pushes
// them down the chain.

#include "pipeline/HandleFilter.h"

#include <string>

class CSourceFilter : public CHandleFilter {
 public:
  explicit CSourceFilter(CFilter* next = nullptr);
  explicit CSourceFilter(std::unique_ptr<CFileHandle> handle);
  explicit CSourceFilter(CFileHandle& handle);
  ~CSourceFilter() override;

  // The pump: Read a block, Write it on, until a read yields no bytes (that
  // empty block is written too), then Close. Returns false at once, without
  // closing the chain, when a read or a write fails.
  bool Run() override;
  bool IsSource() const override;

  // Releases the handle and opens the existing file `path` for reading,
  // sharing reading with others, as an owned handle. On failure returns false
  // and records nothing: the thread's last error tells why.
  virtual bool Open(const std::string& path);
};
