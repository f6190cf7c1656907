#pragma once
// A .Z stream of 9-bit codes, for the LZ tests and the fuzz seeds: the header
// (block mode, 9 bits), then the codes in groups of eight, the whole group
// written out after each CLEAR (256) as compress does. Header-only, so that
// the fuzz build uses it without a library.

#include <cstdint>
#include <string>
#include <vector>

inline std::string NineBitStream(const std::vector<uint32_t>& codes) {
  std::string out = "\x1F\x9D\x89";
  std::string group(9, '\0');
  int used = 0;
  auto flush = [&](bool whole) {
    if (used == 0) return;
    out += group.substr(0, whole ? 9 : static_cast<size_t>((used * 9 + 7) / 8));
    group.assign(9, '\0');
    used = 0;
  };
  for (uint32_t code : codes) {
    for (int b = 0; b < 9; ++b) {
      if (code >> b & 1) group[(used * 9 + b) / 8] |= static_cast<char>(1 << ((used * 9 + b) % 8));
    }
    if (++used == 8 || code == 256) flush(true);
  }
  flush(false);
  return out;
}
