#pragma once
// Hands what reaches it, gathered into large blocks, to a thread of its own
// that writes them to `next`, so that writing (a system call, an upload)
// runs while the filters before it compute the following block. At most a
// few blocks wait; a Write that finds no room waits for the oldest to go.
//
// The thread runs under the progress of the thread that made the filter
// (pipeline/Progress.h), so that a cancel ends its waits as it ends theirs.
// The first failure of `next` is kept with the last error it left, and the
// next Write or Close returns false with that error set again. Close waits
// until every block is written, then closes `next`; destroying the filter
// waits for the block being written and drops the others. `next` must
// outlive the filter.

#include "pipeline/BlockQueue.h"
#include "pipeline/Filter.h"

#include <cstdint>
#include <thread>

class CProgress;

class CWriteBehindFilter : public CFilter {
 public:
  // Blocks handed to the thread hold at least this much, and at most this
  // many of them wait; small enough that a block is still in the
  // processor's cache when the thread writes it.
  static constexpr size_t kGather = kBlockSize;
  static constexpr size_t kDepth = 4;

  explicit CWriteBehindFilter(CFilter* next);
  ~CWriteBehindFilter() override;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Close() override;

 private:
  bool Hand();
  bool Failed();
  void WriteBlocks(CProgress* progress);

  CBlockQueue m_queue{kDepth};
  CBlockQueue::Block m_gathering;
  std::thread m_thread;
};
