#pragma once
// A short queue of byte blocks from one thread to another, for the filters
// that move reading or writing onto a thread of their own. Buffers go back
// and forth between the two sides, so that a run allocates only the few
// blocks that are in the queue at once.
//
// At most `depth` blocks are waiting or being handled at a time; Push waits
// for room. The first failure of either side (Fail) drops the waiting
// blocks, ends every wait, and is kept with its error for both sides to read.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

class CBlockQueue {
 public:
  // Grows without zeroing: every block is filled by a read or a copy before
  // it is used, and zeroing a fresh megabyte faults in each of its pages,
  // most of which a short file never reaches. Bytes go in by resize and
  // memcpy: insert would copy them one at a time through this allocator.
  template <typename T>
  struct Unzeroed : std::allocator<T> {
    template <typename U>
    struct rebind {
      using other = Unzeroed<U>;
    };
    template <typename U>
    void construct(U* at) noexcept {
      ::new (static_cast<void*>(at)) U;
    }
    template <typename U, typename... Args>
    void construct(U* at, Args&&... args) {
      ::new (static_cast<void*>(at)) U(std::forward<Args>(args)...);
    }
  };
  using Block = std::vector<uint8_t, Unzeroed<uint8_t>>;

  explicit CBlockQueue(size_t depth) : m_depth(depth) {}
  CBlockQueue(const CBlockQueue&) = delete;
  CBlockQueue& operator=(const CBlockQueue&) = delete;

  // Waits for room and queues `block`, which then holds a buffer handed
  // back by the other side (its bytes are left over) or an empty one.
  // False, with `block` untouched, once the queue has failed.
  bool Push(Block& block);
  // Waits for the oldest block and moves it into `block`; false once the
  // queue has failed, or is closed and has nothing left. A popped block is
  // being handled until it is given back with Done.
  bool Pop(Block& block);
  void Done(Block& block);
  // No more blocks will be pushed.
  void Close();
  // Waits until every pushed block is done; false when the queue failed.
  bool Drain();
  // Records the first failure (error 0 becomes ERROR_GEN_FAILURE).
  void Fail(uint32_t error);
  // The recorded failure's error; 0 while none.
  uint32_t Failure();

 private:
  const size_t m_depth;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::deque<Block> m_waiting;
  std::vector<Block> m_spare;
  size_t m_handling = 0;
  bool m_closed = false;
  uint32_t m_failure = 0;
};
