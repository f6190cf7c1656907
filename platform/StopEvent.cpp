#include "platform/StopEvent.h"

#include <sys/eventfd.h>
#include <unistd.h>

namespace {

thread_local CStopEvent* t_current = nullptr;

}  // namespace

CStopEvent::Scope::Scope(CStopEvent* event) : m_previous(t_current) { t_current = event; }

CStopEvent::Scope::~Scope() { t_current = m_previous; }

CStopEvent* CStopEvent::Current() { return t_current; }

CStopEvent::CStopEvent() : m_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CStopEvent::~CStopEvent() {
  if (m_fd >= 0) close(m_fd);
}

void CStopEvent::Raise() noexcept {
  if (m_raised.exchange(true)) return;
  // Never read: the counter stays nonzero, so the descriptor stays readable.
  if (m_fd >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_fd, &one, sizeof one);
  }
}
