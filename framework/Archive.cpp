#include "framework/Archive.h"

#include "framework/Object.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <utility>

namespace {

using Cause = CArchiveException::Cause;

constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigIndexTag = 0x7FFF;
constexpr uint32_t kBigClassFlag = 0x80000000;
constexpr uint32_t kMaxIndex = 0x7FFFFFFE;

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// UTF-16LE bytes to UTF-8; a surrogate without its partner becomes '?'.
std::string Utf16ToUtf8(const std::string& bytes) {
  const size_t units = bytes.size() / 2;
  auto unit = [&](size_t i) {
    return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i])) |
           static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i + 1])) << 8;
  };
  std::string out;
  out.reserve(units);
  for (size_t i = 0; i < units; ++i) {
    const uint32_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      out += '?';
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

}  // namespace

CArchive::CArchive(CFileHandle& file, Mode mode) : m_file(file), m_mode(mode) {
  if (mode != Mode::Load) return;
  uint64_t size = 0;
  if (!m_file.Size(size)) throw CArchiveException(Cause::ReadFault, GetLastError());
  const off_t position = lseek(m_file.Descriptor(), 0, SEEK_CUR);
  if (position < 0) throw CArchiveException(Cause::ReadFault, SystemErrorFromErrno(errno));
  const auto at = static_cast<uint64_t>(position);
  m_fileLeft = size > at ? size - at : 0;
}

// The buffer held every byte of a pointer file that went through it, a
// Strong key among them.
CArchive::~CArchive() { explicit_bzero(m_buffer.data(), m_buffer.size()); }

void CArchive::Close() {
  if (IsStoring()) FlushBuffer();
}

void CArchive::FlushBuffer() {
  const size_t n = std::exchange(m_pos, 0);
  if (n > 0 && !m_file.Write(m_buffer.data(), n)) {
    throw CArchiveException(Cause::WriteFault, GetLastError());
  }
}

void CArchive::FillBuffer() {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(kBufferSize, m_fileLeft));
  size_t got = 0;
  if (!m_file.Read(m_buffer.data(), want, got)) {
    throw CArchiveException(Cause::ReadFault, GetLastError());
  }
  // The file shrank since the archive measured it.
  if (got == 0) throw CArchiveException(Cause::EndOfFile);
  m_pos = 0;
  m_end = got;
  m_fileLeft -= got;
}

uint64_t CArchive::GetBytesLeft() const { return (m_end - m_pos) + m_fileLeft; }

void CArchive::Require(uint64_t length) const {
  if (length > GetBytesLeft()) throw CArchiveException(Cause::EndOfFile);
}

void CArchive::Write(const void* data, size_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  while (length > 0) {
    if (m_pos == kBufferSize) FlushBuffer();
    const size_t n = std::min(length, kBufferSize - m_pos);
    std::memcpy(m_buffer.data() + m_pos, p, n);
    m_pos += n;
    p += n;
    length -= n;
  }
}

void CArchive::Read(void* data, size_t length) {
  Require(length);
  auto* p = static_cast<uint8_t*>(data);
  while (length > 0) {
    if (m_pos == m_end) FillBuffer();
    const size_t n = std::min(length, m_end - m_pos);
    std::memcpy(p, m_buffer.data() + m_pos, n);
    m_pos += n;
    p += n;
    length -= n;
  }
}

void CArchive::WriteLittleEndian(uint64_t value, int bytes) {
  uint8_t raw[8];
  for (int i = 0; i < bytes; ++i) raw[i] = static_cast<uint8_t>(value >> (8 * i));
  Write(raw, static_cast<size_t>(bytes));
}

uint64_t CArchive::ReadLittleEndian(int bytes) {
  uint8_t raw[8];
  Read(raw, static_cast<size_t>(bytes));
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(raw[i]) << (8 * i);
  return value;
}

CArchive& CArchive::operator<<(uint8_t value) {
  WriteLittleEndian(value, 1);
  return *this;
}
CArchive& CArchive::operator<<(uint16_t value) {
  WriteLittleEndian(value, 2);
  return *this;
}
CArchive& CArchive::operator<<(uint32_t value) {
  WriteLittleEndian(value, 4);
  return *this;
}
CArchive& CArchive::operator<<(int32_t value) {
  return *this << static_cast<uint32_t>(value);
}
CArchive& CArchive::operator<<(std::string_view text) {
  WriteString(text);
  return *this;
}
CArchive& CArchive::operator>>(uint8_t& value) {
  value = static_cast<uint8_t>(ReadLittleEndian(1));
  return *this;
}
CArchive& CArchive::operator>>(uint16_t& value) {
  value = static_cast<uint16_t>(ReadLittleEndian(2));
  return *this;
}
CArchive& CArchive::operator>>(uint32_t& value) {
  value = static_cast<uint32_t>(ReadLittleEndian(4));
  return *this;
}
CArchive& CArchive::operator>>(int32_t& value) {
  value = static_cast<int32_t>(ReadLittleEndian(4));
  return *this;
}
CArchive& CArchive::operator>>(std::string& text) {
  text = ReadString();
  return *this;
}

void CArchive::WriteString(std::string_view text) {
  const size_t n = text.size();
  if (n > UINT32_MAX) throw std::length_error("archive: string too long to store");
  if (n < 0xFF) {
    *this << static_cast<uint8_t>(n);
  } else if (n < 0xFFFE) {
    *this << uint8_t{0xFF} << static_cast<uint16_t>(n);
  } else {
    *this << uint8_t{0xFF} << uint16_t{0xFFFF} << static_cast<uint32_t>(n);
  }
  Write(text.data(), n);
}

uint32_t CArchive::ReadStringLength(bool allowWide, bool& wide) {
  uint8_t first;
  *this >> first;
  if (first < 0xFF) return first;
  uint16_t second;
  *this >> second;
  if (allowWide && second == 0xFFFE) {
    wide = true;
    return ReadStringLength(false, wide);
  }
  if (second < 0xFFFF) return second;
  uint32_t full;
  *this >> full;
  return full;
}

std::string CArchive::ReadString() {
  bool wide = false;
  const uint64_t length = ReadStringLength(true, wide);
  const uint64_t bytes = wide ? 2 * length : length;
  Require(bytes);
  std::string raw(static_cast<size_t>(bytes), '\0');
  Read(raw.data(), raw.size());
  return wide ? Utf16ToUtf8(raw) : raw;
}

void CArchive::WriteCount(uint32_t count) {
  if (count < 0xFFFF) {
    *this << static_cast<uint16_t>(count);
  } else {
    *this << uint16_t{0xFFFF} << count;
  }
}

uint32_t CArchive::ReadCount(uint32_t minBytesPerElement) {
  uint16_t shortCount;
  *this >> shortCount;
  uint32_t count = shortCount;
  if (shortCount == 0xFFFF) *this >> count;
  Require(static_cast<uint64_t>(count) * minBytesPerElement);
  return count;
}

uint32_t CArchive::NextIndex() {
  if (m_nextIndex > kMaxIndex) throw std::length_error("archive: too many objects");
  return m_nextIndex++;
}

void CArchive::WriteClassIndexTag(uint32_t index) {
  if (index < kBigIndexTag) {
    *this << static_cast<uint16_t>(kClassTag | index);
  } else {
    *this << kBigIndexTag << (kBigClassFlag | index);
  }
}

void CArchive::WriteObject(CObject& object, std::span<const CStoredClass> classes) {
  const CStoredClass* cls = CStoredClass::Of(object, classes);
  if (!cls) throw std::logic_error("archive: the object's class is not a stored class");
  if (const auto it = m_storedClasses.find(cls); it != m_storedClasses.end()) {
    WriteClassIndexTag(it->second);
  } else {
    *this << kNewClassTag << cls->schema << static_cast<uint16_t>(cls->name.size());
    Write(cls->name.data(), cls->name.size());
    m_storedClasses.emplace(cls, NextIndex());
  }
  // The object takes an index, which only a reference to it would name.
  NextIndex();
  object.Serialize(*this);
}

const CStoredClass& CArchive::ReadClassDescription(std::span<const CStoredClass> accepted) {
  uint16_t schema;
  uint16_t length;
  *this >> schema >> length;
  if (length >= kMaxClassName) throw CArchiveException(Cause::BadClass);
  char name[kMaxClassName];
  Read(name, length);
  const std::string_view stored(name, length);
  const CStoredClass* cls = CStoredClass::Named(stored, accepted);
  if (!cls) throw CArchiveException(Cause::BadClass);
  if (cls->schema != schema) throw CArchiveException(Cause::BadSchema);
  m_loaded.push_back(cls);
  return *cls;
}

// A class read earlier must be accepted again: the caller may accept fewer
// classes for each object.
const CStoredClass& CArchive::LoadedClass(uint32_t index,
                                          std::span<const CStoredClass> accepted) const {
  if (index == 0 || index > m_loaded.size() || !m_loaded[index - 1]) {
    throw CArchiveException(Cause::BadIndex);
  }
  const CStoredClass* cls = m_loaded[index - 1];
  if (std::none_of(accepted.begin(), accepted.end(),
                   [&](const CStoredClass& c) { return &c == cls; })) {
    throw CArchiveException(Cause::BadClass);
  }
  return *cls;
}

std::unique_ptr<CObject> CArchive::ReadNewObject(std::span<const CStoredClass> accepted) {
  uint16_t tag;
  *this >> tag;
  const CStoredClass* cls = nullptr;
  if (tag == kNewClassTag) {
    cls = &ReadClassDescription(accepted);
  } else {
    uint32_t index = tag & ~kClassTag;
    bool isClass = (tag & kClassTag) != 0;
    if (tag == kBigIndexTag) {
      uint32_t big;
      *this >> big;
      isClass = (big & kBigClassFlag) != 0;
      index = big & ~kBigClassFlag;
    }
    if (!isClass) throw CArchiveException(Cause::BadObject);
    cls = &LoadedClass(index, accepted);
  }
  std::unique_ptr<CObject> object = cls->create();
  m_loaded.push_back(nullptr);
  object->Serialize(*this);
  return object;
}
