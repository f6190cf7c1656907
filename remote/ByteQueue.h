#pragma once
// A bounded queue of bytes between one writing and one reading thread: the
// writer waits while it is full, the reader while it is empty, so memory
// stays at the capacity whatever passes through. The writer ends it with
// Close (the reader drains it, then sees the end); either side may Abort it,
// which wakes and stops both at once.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

class CByteQueue {
 public:
  explicit CByteQueue(size_t capacity);

  // Appends all `length` bytes, waiting for room; false once aborted.
  bool Push(const uint8_t* bytes, size_t length);
  // Moves up to `length` bytes (at least one) into `out`, waiting for some:
  // their count; 0 at the end after Close; -1 once aborted.
  ptrdiff_t Pop(uint8_t* out, size_t length);
  void Close();
  void Abort();
  bool Aborted() const;

 private:
  mutable std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<uint8_t> m_ring;
  size_t m_head = 0;  // where the oldest byte is
  size_t m_size = 0;
  bool m_closed = false;
  bool m_aborted = false;
};
