#include "pipeline/SecureRandom.h"

#include <cerrno>
#include <cstdint>
#include <sys/random.h>
#include <system_error>

void FillSecureRandom(void* buffer, size_t length) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (length > 0) {
    const ssize_t n = getrandom(p, length, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::system_error(errno, std::generic_category(), "getrandom");
    }
    p += n;
    length -= static_cast<size_t>(n);
  }
}
