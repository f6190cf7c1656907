#include "WinsockErrors.h"

#include <cerrno>
#include <netdb.h>

namespace gannet {

namespace {

struct ErrorName {
  int32_t code;
  const char* text;
};

// Searched from the top; the first matching code wins.
constexpr ErrorName kErrorTable[] = {
    {0, "Operation was successful"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Protocol not available"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10009, "Connection died (9)"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Cannot connect"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references: can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10101, "Socket disconnected"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative: Host not found"},
    {11003, "Non recoverable error"},
    {11004, "No data record of requested type"},
    // Failures above the socket: the secure channel and the transfer itself.
    {kSecPackageNotFound, "The requested security package does not exist."},
    {kSecWrongPrincipal, "The target principal name is incorrect."},
    {kSecUntrustedRoot, "The certificate chain was issued by an authority that is not trusted."},
    {kSecIllegalMessage, "The message received was unexpected or badly formatted."},
    {kSecCertUnknown, "An unknown error occurred while processing the certificate."},
    {kSecCertExpired, "The received certificate has expired."},
    {kSecAlgorithmMismatch,
     "The client and server cannot communicate, because they do not possess a common "
     "algorithm."},
    {kErrNotSupported, "The request is not supported."},
    {kErrInsecureRedirect, "The application is moving from a secure to a non-secure site."},
    {kErrInsecureCredentials, "The application is posting data to a server that is not secure."},
    {kErrRedirectFailed, "The HTTP redirect request failed."},
};

struct ErrnoMapping {
  int error;
  int32_t code;
};

constexpr ErrnoMapping kErrnoTable[] = {
    {ECONNREFUSED, 10061}, {ETIMEDOUT, 10060},     {ECONNRESET, 10054},  {ECONNABORTED, 10053},
    {ENETUNREACH, 10051},  {ENETDOWN, 10050},      {EHOSTUNREACH, 10065}, {EHOSTDOWN, 10064},
    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049}, {ENOBUFS, 10055},     {EISCONN, 10056},
    {ENOTCONN, 10057},     {EPIPE, 10058},         {ESHUTDOWN, 10058},   {EAGAIN, 10035},
    {EINPROGRESS, 10036},  {EALREADY, 10037},      {ENOTSOCK, 10038},    {EMSGSIZE, 10040},
    {EAFNOSUPPORT, 10047}, {EBADF, 10009},
};

}  // namespace

int32_t WinsockFromErrno(int error) {
  for (const ErrnoMapping& m : kErrnoTable) {
    if (m.error == error) return m.code;
  }
  return kWsaBase + error;
}

int32_t WinsockFromLookup(int result, int error) {
  switch (result) {
    case EAI_NONAME:
      return 11001;
    case EAI_AGAIN:
      return 11002;
    case EAI_NODATA:
    case EAI_ADDRFAMILY:
      return 11004;
    case EAI_MEMORY:
      return 10055;
    case EAI_SYSTEM:
      return WinsockFromErrno(error);
    default:
      return 11003;
  }
}

const char* WinsockErrorText(int32_t code) {
  for (const ErrorName& e : kErrorTable) {
    if (e.code == code) return e.text;
  }
  return "Unknown WinSock Error";
}

}  // namespace gannet
