#include "pipeline/ReadAheadSourceFilter.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "pipeline/Progress.h"
#include "platform/SystemError.h"

namespace {

using Block = std::vector<uint8_t>;

// What the reading thread and the chain's thread share.
struct Shelf {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Block> ready;  // read, in order; the empty block marks the end
  std::vector<Block> spare;
  bool stop = false;        // the chain failed: read no more
  bool failed = false;      // a read failed with `error`
  uint32_t error = 0;
};

// The reading thread: puts every block of `source` on the shelf, a few at
// the most, until the end, a failed read or a stop.
void ReadBlocks(CHandleFilter& source, Shelf& shelf, CProgress* progress) {
  std::optional<CProgress::Scope> scope;
  if (progress) scope.emplace(*progress);
  for (size_t count = 1; count != 0;) {
    Block block;
    {
      std::unique_lock lock(shelf.mutex);
      shelf.changed.wait(lock, [&] {
        return shelf.ready.size() < CReadAheadSourceFilter::kDepth || shelf.stop;
      });
      if (shelf.stop) return;
      if (!shelf.spare.empty()) {
        block = std::move(shelf.spare.back());
        shelf.spare.pop_back();
      }
    }
    block.resize(CReadAheadSourceFilter::kGather);
    const bool read = source.Read(block.data(), block.size(), count);
    const uint32_t error = read ? 0 : GetLastError();
    block.resize(count);
    std::lock_guard lock(shelf.mutex);
    if (read) {
      shelf.ready.push_back(std::move(block));
    } else {
      shelf.failed = true;
      shelf.error = error;
      count = 0;
    }
    shelf.changed.notify_all();
  }
}

// The chain's side: writes every block from the shelf on, the empty last
// one too; false, with the chain's error, when a write failed. Stops the
// reading either way.
bool WriteBlocks(CFilter& head, Shelf& shelf) {
  bool written = true;
  for (bool end = false; written && !end;) {
    Block block;
    {
      std::unique_lock lock(shelf.mutex);
      shelf.changed.wait(lock, [&] { return !shelf.ready.empty() || shelf.failed; });
      if (shelf.ready.empty()) break;
      block = std::move(shelf.ready.front());
      shelf.ready.pop_front();
    }
    shelf.changed.notify_all();
    end = block.empty();
    written = head.Write(block.data(), block.size());
    std::lock_guard lock(shelf.mutex);
    shelf.spare.push_back(std::move(block));
  }
  const uint32_t error = written ? 0 : GetLastError();
  {
    std::lock_guard lock(shelf.mutex);
    shelf.stop = true;
  }
  shelf.changed.notify_all();
  if (!written) SetLastError(error);
  return written;
}

}  // namespace

bool CReadAheadSourceFilter::Run() {
  Shelf shelf;
  std::thread reader(ReadBlocks, std::ref(*this), std::ref(shelf), CProgress::Current());
  const bool written = WriteBlocks(*this, shelf);
  reader.join();
  if (!written) return false;
  if (shelf.failed) {
    SetLastError(shelf.error);
    return false;
  }
  return Close();
}
