#include "support/CuttingProxy.h"

#include "support/TestFiles.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace testing_support {

std::unique_ptr<CChildProcess> StartCuttingProxy(int port, int serverPort, int cuts,
                                                 size_t cutAfter) {
  const std::string dir = MakeDir("proxy"), to = " TCP:127.0.0.1:" + std::to_string(serverPort);
  WriteFile(dir + "/relay", "echo >> " + dir + "/n\nif [ $(wc -l < " + dir + "/n) -le " +
                                std::to_string(cuts) + " ]; then exec socat -t0 -" + to +
                                ",readbytes=" + std::to_string(cutAfter) +
                                "; fi\nexec socat -" + to);
  auto proxy = std::make_unique<CChildProcess>(
      std::vector<std::string>{"socat", "-t0", "TCP-LISTEN:" + std::to_string(port) +
                               ",bind=127.0.0.1,reuseaddr,fork", "SYSTEM:sh " + dir + "/relay"},
      120);
  // A test connection would count as one of the cut: the kernel's table
  // tells when the port listens.
  char listening[32];
  std::snprintf(listening, sizeof listening, ":%04X 00000000:0000 0A", port);
  for (int i = 0; i < 250 && ReadFile("/proc/net/tcp").find(listening) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return proxy;
}

}  // namespace testing_support
