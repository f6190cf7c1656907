#pragma once
// The expander's output, kept for a while as a window of recent bytes: a
// string that appeared in the window is copied from there in wide moves
// instead of being walked backwards through the dictionary. Positions count
// bytes from the start of the stream; the window holds at least the last
// kSpan bytes written.
//
// The expander writes at a cursor of its own between Data() and RoomLimit()
// and reports it with SetFill. Past RoomLimit a string of kLongest bytes may
// not fit: the caller takes the bytes not yet handed on (TakeUnflushed) and
// then calls Slide, which keeps the last kSpan bytes at the start of the
// buffer. Reads and writes may reach 15 bytes past a string.

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
  uint8_t* Data() { return m_buffer.get(); }
  // The last cursor at which a string of kLongest bytes still fits.
  uint8_t* RoomLimit() { return m_buffer.get() + (kCapacity - kLongest); }
  // The bytes held, and the position of the first of them.
  size_t Fill() const { return m_fill; }
  void SetFill(size_t fill) { m_fill = fill; }
  uint64_t Base() const { return m_base; }
  uint64_t Position() const { return m_base + m_fill; }
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
