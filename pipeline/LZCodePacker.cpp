#include "pipeline/LZCodePacker.h"

#include "pipeline/Filter.h"

#include <cstring>

CLZCodePacker::CLZCodePacker(CFilter& out, uint8_t (&group)[kGroupBytes])
    : m_out(out), m_group(group) {}

size_t CLZCodePacker::PackCodes(const uint16_t* codes, size_t count, uint8_t* out) const {
  const auto width = static_cast<uint32_t>(m_width);
  uint64_t bits = 0;
  uint32_t held = 0;
  uint8_t* p = out;
  for (size_t k = 0; k < count; ++k) {
    bits |= static_cast<uint64_t>(codes[k]) << held;
    held += width;
    if (held >= 32) {
      const auto word = static_cast<uint32_t>(bits);
      std::memcpy(p, &word, sizeof word);
      p += 4;
      bits >>= 32;
      held -= 32;
    }
  }
  // Fewer than 32 bits are left: one more word holds them.
  const auto word = static_cast<uint32_t>(bits);
  std::memcpy(p, &word, sizeof word);
  return static_cast<size_t>(p - out) + (held + 7) / 8;
}

void CLZCodePacker::PackWholeGroups() {
  const size_t groups = m_count / 8;
  if (groups == 0) return;
  const auto width = static_cast<size_t>(m_width);
  for (size_t g = 0; g < groups; ++g) PackCodes(m_codes + 8 * g, 8, m_packed + g * width);
  // The last whole group is what the group buffer holds afterwards.
  std::memcpy(m_group, m_packed + (groups - 1) * width, width);
  WriteBytes(m_packed, groups * width);
  m_count -= groups * 8;
  std::memmove(m_codes, m_codes + groups * 8, m_count * sizeof m_codes[0]);
}

size_t CLZCodePacker::PackIntoGroup() {
  // Packed beside the group, then copied in: only the bytes holding code
  // bits replace what the group buffer held.
  uint8_t packed[kGroupBytes + 8];
  const size_t bytes = PackCodes(m_codes, m_count, packed);
  std::memcpy(m_group, packed, bytes);
  m_count = 0;
  return bytes;
}

void CLZCodePacker::ChangeWidth(int32_t width) {
  PackWholeGroups();
  if (m_count > 0) {
    PackIntoGroup();
    WriteBytes(m_group, static_cast<size_t>(m_width));
  }
  m_width = width;
}

void CLZCodePacker::Finish() {
  PackWholeGroups();
  if (m_count > 0) WriteBytes(m_group, PackIntoGroup());
}

void CLZCodePacker::WriteBytes(const uint8_t* bytes, size_t length) {
  m_out.Write(bytes, length);
  m_written += length;
}
