#pragma once
// Stores fields and objects in a file, or loads them, through a 4096-byte
// buffer. All integers are little-endian.
//
// Counted string: a length prefix, then the bytes. Written as one byte for
// lengths below 255, FF and 16 bits below 65534, FF FFFF and 32 bits above.
// Loading also takes the wide form FF FFFE, a second prefix of the same form
// (where FFFE is a plain length) and 2*L bytes of UTF-16LE text; the text is
// converted to UTF-8, the 8-bit encoding of this system, and a lone surrogate
// becomes '?'.
//
// Count: 16 bits below FFFF, else FFFF and 32 bits.
//
// Objects: one index sequence from 1 is shared by classes and objects in the
// order they occur. Tag FFFF describes a new class (schema 16 bits, name
// length 16 bits, name) before its object's fields; 8000+i names class i;
// i names object i written before; 0000 is no object; 7FFF is followed by 32
// bits for indexes from 7FFF on (top bit set for a class). The writer uses the
// class form only when a class repeats, and never the object or no-object
// forms: a stored list holds every object once and no empty place. The
// reader refuses those two forms for the same reason.
//
// Loading knows the bytes left in the file and checks every field, count and
// length against them before anything is allocated, so a load never
// allocates much more than the file's own size. Every failure throws
// CArchiveException (framework/ArchiveException.h): flaws of the bytes as
// format errors, failing file operations with their system error code.

#include "framework/ArchiveException.h"
#include "framework/StoredClass.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CFileHandle;
class CObject;

class CArchive {
 public:
  enum class Mode { Store, Load };
  static constexpr size_t kBufferSize = 4096;
  // Stored class names must be shorter than this.
  static constexpr size_t kMaxClassName = 64;

  // Works on `file` from its current position; `file` must outlive the
  // archive. A load takes the file's size now and throws ReadFault when it
  // cannot.
  CArchive(CFileHandle& file, Mode mode);
  // Discards what Close did not write out, and wipes the buffer.
  ~CArchive();
  CArchive(const CArchive&) = delete;
  CArchive& operator=(const CArchive&) = delete;

  bool IsStoring() const { return m_mode == Mode::Store; }

  // Store: writes out the buffered bytes; throws WriteFault on failure.
  void Close();

  // Raw bytes.
  void Write(const void* data, size_t length);
  // Exactly `length` bytes, or EndOfFile when fewer are left.
  void Read(void* data, size_t length);
  // Load: the bytes not yet read from the file.
  uint64_t GetBytesLeft() const;

  CArchive& operator<<(uint8_t value);
  CArchive& operator<<(uint16_t value);
  CArchive& operator<<(uint32_t value);
  CArchive& operator<<(int32_t value);
  CArchive& operator<<(std::string_view text);  // counted string
  CArchive& operator>>(uint8_t& value);
  CArchive& operator>>(uint16_t& value);
  CArchive& operator>>(uint32_t& value);
  CArchive& operator>>(int32_t& value);
  CArchive& operator>>(std::string& text);  // counted string, any form

  void WriteString(std::string_view text);
  std::string ReadString();

  void WriteCount(uint32_t count);
  // A count; EndOfFile unless `count` elements of at least
  // `minBytesPerElement` bytes each fit into the bytes left.
  uint32_t ReadCount(uint32_t minBytesPerElement = 1);

  // Writes the tag of `object`, the description of its class (its entry of
  // `classes`) the first time the class occurs, and its fields through its
  // Serialize. Each object is written once. Throws std::logic_error when
  // `classes` has no entry for the object's class.
  void WriteObject(CObject& object, std::span<const CStoredClass> classes);

  // Reads one object: its class, described here or by the index of an
  // earlier description, must be an entry of `accepted`, found by its exact
  // name, with the stored schema number; the object is made and loads its
  // fields. An object reference or the no-object tag is a BadObject format
  // error. Never returns null.
  std::unique_ptr<CObject> ReadNewObject(std::span<const CStoredClass> accepted);

 private:
  void WriteLittleEndian(uint64_t value, int bytes);
  uint64_t ReadLittleEndian(int bytes);
  void Require(uint64_t length) const;
  void FlushBuffer();
  void FillBuffer();
  uint32_t ReadStringLength(bool allowWide, bool& wide);
  void WriteClassIndexTag(uint32_t index);
  uint32_t NextIndex();
  const CStoredClass& ReadClassDescription(std::span<const CStoredClass> accepted);
  const CStoredClass& LoadedClass(uint32_t index, std::span<const CStoredClass> accepted) const;

  CFileHandle& m_file;
  Mode m_mode;
  std::array<uint8_t, kBufferSize> m_buffer{};
  size_t m_pos = 0;         // next byte of the buffer to read or write
  size_t m_end = 0;         // load: valid bytes in the buffer
  uint64_t m_fileLeft = 0;  // load: bytes of the file not yet in the buffer
  uint32_t m_nextIndex = 1;
  std::unordered_map<const CStoredClass*, uint32_t> m_storedClasses;  // class -> index
  // Index - 1 -> the class described with that index; null for an object.
  std::vector<const CStoredClass*> m_loaded;
};
