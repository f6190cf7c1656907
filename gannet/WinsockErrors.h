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
// A blocking call that the caller interrupted.
constexpr int32_t kWsaInterrupted = 10004;
constexpr int32_t kWsaAddressNotAvailable = 10049;
constexpr int32_t kWsaConnReset = 10054;

// Failures above the socket share its numbering, so that one error number
// with its text reaches the caller: the secure channel's reasons (the
// negative SEC_E_* numbers of the Windows security layer) and the
// transfer's own refusals (numbered as their Windows counterparts).
constexpr int32_t kSecPackageNotFound = static_cast<int32_t>(0x80090305u);  // no libgannet-tls
constexpr int32_t kSecWrongPrincipal = static_cast<int32_t>(0x80090322u);
constexpr int32_t kSecUntrustedRoot = static_cast<int32_t>(0x80090325u);
constexpr int32_t kSecIllegalMessage = static_cast<int32_t>(0x80090326u);
constexpr int32_t kSecCertUnknown = static_cast<int32_t>(0x80090327u);
constexpr int32_t kSecCertExpired = static_cast<int32_t>(0x80090328u);
constexpr int32_t kSecAlgorithmMismatch = static_cast<int32_t>(0x80090331u);
constexpr int32_t kErrNotSupported = 50;          // an answer in a content coding
constexpr int32_t kErrInsecureRedirect = 12040;   // https redirected to http
constexpr int32_t kErrInsecureCredentials = 12042;  // a password in cleartext
constexpr int32_t kErrRedirectFailed = 12156;     // too many hops, a loop, another scheme

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
