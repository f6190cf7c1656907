#pragma once
// The expander's output, kept for a while as a window of recent bytes: a
// string that appeared in the window is copied from there in wide moves
// instead of being walked backwards through the dictionary. Positions count
// bytes from the start of the stream; the window holds at least the last
// kSpan bytes written.
//
// Bytes are written at Position() through At(); every string must fit in
// kLongest bytes, which MakeRoom guarantees by sliding the window (after the
// caller has taken the bytes not yet handed on). Reads and writes may reach
// 15 bytes past a string.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>

class CLZOutputWindow {
 public:
  // The recent output kept; strings that lie further back are rebuilt from
  // the dictionary.
  static constexpr size_t kSpan = size_t{1} << 20;
  // The longest string a code of at most 16 bits stands for, with the room
  // a wide copy writes past it.
  static constexpr size_t kLongest = (size_t{1} << 16) + 32;

  // Allocates the buffer (once); false when that fails.
  bool Allocate();
  // Starts a stream at position 0 with nothing held.
  void Start();
  uint64_t Position() const { return m_base + m_fill; }
  // True when the bytes from `position` on are still held.
  bool Holds(uint64_t position) const { return position >= m_base; }
  // The byte at a held position, or at Position() and beyond.
  uint8_t* At(uint64_t position) { return m_buffer.get() + (position - m_base); }
  // Counts `length` bytes written at Position().
  void Advance(size_t length) { m_fill += length; }
  // True when a string of kLongest bytes fits at Position().
  bool HasRoom() const { return m_fill + kLongest <= kCapacity; }
  // The bytes written since the last call, readable 15 bytes past their end.
  std::span<const uint8_t> TakeUnflushed();
  // Drops all but the last kSpan bytes; call after TakeUnflushed.
  void Slide();

  // Copies `length` bytes from `from` to `to` sixteen at a time; the source
  // bytes must all lie before `to`.
  static void CopyWide(uint8_t* to, const uint8_t* from, size_t length) {
    for (size_t i = 0; i < length; i += 16) {
      uint8_t chunk[16];
      std::memcpy(chunk, from + i, 16);
      std::memcpy(to + i, chunk, 16);
    }
  }

 private:
  static constexpr size_t kCapacity = 2 * kSpan + kLongest;

  std::unique_ptr<uint8_t[]> m_buffer;
  uint64_t m_base = 0;  // the position of the buffer's first byte
  size_t m_fill = 0;
  size_t m_taken = 0;
};
