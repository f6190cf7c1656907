#include "platform/SocketStopper.h"

#include "platform/StopEvent.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

CSocketStopper::CSocketStopper(int socket, const CStopEvent* event) {
  if (!event || event->Fd() < 0 || socket < 0) return;
  m_stopFd = fcntl(event->Fd(), F_DUPFD_CLOEXEC, 0);
  m_quitFd = eventfd(0, EFD_CLOEXEC);
  if (m_stopFd < 0 || m_quitFd < 0) return;
  try {
    m_watcher = std::thread([this, socket] { Watch(socket); });
  } catch (const std::system_error&) {
    // Without its thread the stopper does nothing, as documented.
  }
}

CSocketStopper::~CSocketStopper() {
  if (m_watcher.joinable()) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_quitFd, &one, sizeof one);
    m_watcher.join();
  }
  if (m_stopFd >= 0) close(m_stopFd);
  if (m_quitFd >= 0) close(m_quitFd);
}

bool CSocketStopper::Stopped() const { return m_stopped.load(); }

void CSocketStopper::Watch(int socket) {
  pollfd fds[2] = {{m_stopFd, POLLIN, 0}, {m_quitFd, POLLIN, 0}};
  int ready;
  do {
    ready = poll(fds, 2, -1);
  } while (ready < 0 && errno == EINTR);
  if (ready > 0 && (fds[0].revents & POLLIN) && !(fds[1].revents & POLLIN)) {
    m_stopped.store(true);
    shutdown(socket, SHUT_RDWR);
  }
}
