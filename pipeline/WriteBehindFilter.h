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

#include "pipeline/Filter.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

class CProgress;

class CWriteBehindFilter : public CFilter {
 public:
  // Blocks handed to the thread hold at least this much, and at most this
  // many of them wait.
  static constexpr size_t kGather = 4 * kBlockSize;
  static constexpr size_t kDepth = 4;

  explicit CWriteBehindFilter(CFilter* next);
  ~CWriteBehindFilter() override;

  bool Write(const uint8_t* bytes, size_t length) override;
  bool Close() override;

 private:
  using Block = std::vector<uint8_t>;

  bool Hand(Block& block);
  bool Failed();
  void WriteBlocks(CProgress* progress);

  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Block> m_waiting;  // the front is being written while m_writing
  std::vector<Block> m_spare;
  Block m_gathering;
  bool m_writing = false;
  bool m_closing = false;
  bool m_failed = false;
  uint32_t m_error = 0;
  std::thread m_thread;
};
