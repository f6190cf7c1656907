#pragma once
// A TCP relay on 127.0.0.1 in front of a local server, for tests of broken
// transfers: it forwards each connection to the server, but closes the
// first `cuts` of them after `cutAfter` bytes of the server's answer. It
// handles one connection at a time and stops by itself after two minutes
// without traffic.

#include <atomic>
#include <cstddef>
#include <thread>

namespace testing_support {

class CCuttingProxy {
 public:
  CCuttingProxy(int serverPort, int cuts, size_t cutAfter);
  ~CCuttingProxy();
  CCuttingProxy(const CCuttingProxy&) = delete;
  CCuttingProxy& operator=(const CCuttingProxy&) = delete;

  int Port() const { return m_port; }
  // The connections accepted so far.
  int Connections() const { return m_connections; }

 private:
  void Serve();
  // Relays between client and a new connection to the server until either
  // side closes or limit bytes of the answer have passed.
  void Relay(int client, size_t limit);
  // Polls fds (and the stop pipe); false when stopped or out of time.
  bool Wait(int client, int server, short* clientEvents, short* serverEvents) const;

  int m_serverPort;
  int m_cuts;
  size_t m_cutAfter;
  int m_listen = -1;
  int m_port = 0;
  int m_stop[2] = {-1, -1};
  std::atomic<int> m_connections{0};
  std::thread m_thread;
};

}  // namespace testing_support
