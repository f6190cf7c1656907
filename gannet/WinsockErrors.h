#pragma once
// The socket error numbering of the web access library: the classic Winsock
// numbers (10000 plus the socket error, 11001-11004 for name lookup), with
// their texts. Platform errors are translated into this numbering where they
// happen, so every message the library composes reads the same everywhere.

#include <cstdint>

namespace gannet {

constexpr int32_t kWsaWouldBlock = 10035;
constexpr int32_t kWsaBase = 10000;
constexpr int32_t kWsaTimedOut = 10060;
constexpr int32_t kWsaAddressNotAvailable = 10049;

// The Winsock number for an errno value; 10000 + errno when no classic
// number exists for it.
int32_t WinsockFromErrno(int error);

// The Winsock number for a getaddrinfo result (EAI_*); error is the errno
// value that goes with EAI_SYSTEM.
int32_t WinsockFromLookup(int result, int error);

// The text of a Winsock number; "Unknown WinSock Error" for a number that is
// not in the table. The text is a static constant.
const char* WinsockErrorText(int32_t code);

}  // namespace gannet
