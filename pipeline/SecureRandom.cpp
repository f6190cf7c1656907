#include "pipeline/SecureRandom.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <system_error>
#include <unistd.h>

// getentropy takes at most 256 bytes a call and never returns fewer; the
// receive page's C library has it too (from the browser's generator).
void FillSecureRandom(void* buffer, size_t length) {
  constexpr size_t kMostPerCall = 256;
  auto* p = static_cast<uint8_t*>(buffer);
  while (length > 0) {
    const size_t n = std::min(length, kMostPerCall);
    if (getentropy(p, n) != 0) {
      throw std::system_error(errno, std::generic_category(), "getentropy");
    }
    p += n;
    length -= n;
  }
}
