#pragma once
// Key material from the operating system's random source.

#include <cstddef>

// Fills `buffer` with `length` random bytes from getentropy(3). Throws
// std::system_error when the source fails.
void FillSecureRandom(void* buffer, size_t length);
