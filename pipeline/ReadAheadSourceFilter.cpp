#include "pipeline/ReadAheadSourceFilter.h"

#include <thread>

#include "pipeline/BlockQueue.h"
#include "pipeline/Progress.h"
#include "platform/SystemError.h"

namespace {

// The reading thread: queues every block of `source`, the empty last one
// too, until the end, a failed read or the queue's failure.
void ReadBlocks(CHandleFilter& source, CBlockQueue& queue, CProgress* progress) {
  const CProgress::Scope scope(progress);
  CBlockQueue::Block block;
  for (size_t count = 1; count != 0;) {
    block.resize(CReadAheadSourceFilter::kGather);
    if (!source.Read(block.data(), block.size(), count)) {
      queue.Fail(GetLastError());
      return;
    }
    block.resize(count);
    if (!queue.Push(block)) return;
  }
  queue.Close();
}

// The chain's side: writes every queued block; false, with the first
// failure of either side as the last error, when the run broke.
bool WriteBlocks(CFilter& head, CBlockQueue& queue) {
  CBlockQueue::Block block;
  while (queue.Pop(block)) {
    if (!head.Write(block.data(), block.size())) queue.Fail(GetLastError());
    queue.Done(block);
  }
  const uint32_t failure = queue.Failure();
  if (failure != 0) SetLastError(failure);
  return failure == 0;
}

}  // namespace

bool CReadAheadSourceFilter::Run() {
  CBlockQueue queue(kDepth);
  std::thread reader(ReadBlocks, std::ref(*this), std::ref(queue), CProgress::Current());
  const bool written = WriteBlocks(*this, queue);
  reader.join();
  return written && Close();
}
