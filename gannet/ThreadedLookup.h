#pragma once
// getaddrinfo on a thread of its own, for a caller that must be able to stop
// waiting: the resolver can take many seconds and cannot be interrupted.

#include <functional>
#include <netdb.h>
#include <string>

namespace gannet {

// Looks `host` and `port` up with `hints` on a new thread, waking every
// `sliceMs` to ask `goOn`. Returns getaddrinfo's result, with *found (the
// caller frees it with freeaddrinfo) and *error (the errno it left) set;
// EAI_SYSTEM with *error EINTR once `goOn` says stop. An abandoned lookup
// frees its answer itself when the resolver returns. Without a thread to
// start, the lookup runs on the caller's.
int ThreadedLookup(const std::string& host, const std::string& port, const addrinfo& hints,
                   int sliceMs, const std::function<bool()>& goOn, addrinfo** found, int* error);

}  // namespace gannet
