#pragma once
// A relay (socat) on 127.0.0.1:port in front of a local server that closes
// the first `cuts` connections after `cutAfter` bytes of the server's answer;
// it ends with the returned process, or after two minutes.

#include "support/ChildProcess.h"

#include <memory>

namespace testing_support {

std::unique_ptr<CChildProcess> StartCuttingProxy(int port, int serverPort, int cuts,
                                                 size_t cutAfter);

}  // namespace testing_support
