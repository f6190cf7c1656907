#pragma once
// Ends the blocking calls of a library that owns a socket's waits (libssh2)
// the moment a stop is raised: while the stopper lives, a thread of its own
// watches the stop event and shuts the socket down for reading and writing
// once it is raised, so that every call on the socket returns at once with a
// broken connection. The socket itself stays open for its owner to close.
//
// With no event, or when the system refuses the descriptors or the thread,
// the stopper does nothing; the owner's own time limits still apply.

#include <atomic>
#include <thread>

class CStopEvent;

class CSocketStopper {
 public:
  CSocketStopper(int socket, const CStopEvent* event);
  ~CSocketStopper();
  CSocketStopper(const CSocketStopper&) = delete;
  CSocketStopper& operator=(const CSocketStopper&) = delete;

  // Whether the stop shut the socket down.
  bool Stopped() const;

 private:
  void Watch(int socket);

  int m_stopFd = -1;  // a descriptor of the event's own, so it outlives the event
  int m_quitFd = -1;
  std::atomic<bool> m_stopped{false};
  std::thread m_watcher;
};
