#include "support/CuttingProxy.h"

#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace testing_support {

CCuttingProxy::CCuttingProxy(int serverPort, int cuts, size_t cutAfter) : m_port(FreePort()) {
  const std::string dir = MakeDir("proxy");
  m_counter = dir + "/connections";
  const std::string server = " TCP:127.0.0.1:" + std::to_string(serverPort);
  WriteFile(dir + "/relay", "echo >> " + m_counter + "\nif [ $(wc -l < " + m_counter +
                                ") -le " + std::to_string(cuts) + " ]; then exec socat -t0 -" +
                                server + ",readbytes=" + std::to_string(cutAfter) +
                                "\nelse exec socat -" + server + "\nfi\n");
  m_process = std::make_unique<CChildProcess>(
      std::vector<std::string>{"socat", "-t0",
                               "TCP-LISTEN:" + std::to_string(m_port) +
                                   ",bind=127.0.0.1,reuseaddr,fork",
                               "SYSTEM:sh " + dir + "/relay"},
      120);
  // Waiting by connecting would count as a connection: the kernel's table
  // tells when the port listens.
  char listening[32];
  std::snprintf(listening, sizeof listening, ":%04X 00000000:0000 0A", m_port);
  for (int i = 0; i < 250 && ReadFile("/proc/net/tcp").find(listening) == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

int CCuttingProxy::Connections() const {
  const std::string lines = Exists(m_counter) ? ReadFile(m_counter) : "";
  return static_cast<int>(std::count(lines.begin(), lines.end(), '\n'));
}

}  // namespace testing_support
