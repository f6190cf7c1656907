#include "platform/Process.h"

#include "platform/SystemError.h"

#include <cerrno>
#include <system_error>
#include <thread>
#include <sys/wait.h>

namespace {

// waitpid for one child, retried when a signal interrupts it; returns its
// result (the pid, 0 with WNOHANG while running, or -1 with errno set).
pid_t WaitForChild(pid_t pid, int options) {
  pid_t result;
  do {
    result = ::waitpid(pid, nullptr, options);
  } while (result < 0 && errno == EINTR);
  return result;
}

void CollectWhenEnded(pid_t pid) {
  // Nonzero: collected just now, or not (any longer) a child of ours.
  if (WaitForChild(pid, WNOHANG) != 0) return;
  try {
    std::thread([pid] { WaitForChild(pid, 0); }).detach();
  } catch (const std::system_error&) {
    // Without a thread the child is left to the system (see Release).
  }
}

}  // namespace

CProcess::CProcess(pid_t pid) : m_pid(pid > 0 ? pid : -1) {}

CProcess::~CProcess() { Release(); }

CProcess::CProcess(CProcess&& other) noexcept : m_pid(other.m_pid), m_ended(other.m_ended) {
  other.m_pid = -1;
  other.m_ended = false;
}

CProcess& CProcess::operator=(CProcess&& other) noexcept {
  if (this != &other) {
    Release();
    m_pid = other.m_pid;
    m_ended = other.m_ended;
    other.m_pid = -1;
    other.m_ended = false;
  }
  return *this;
}

bool CProcess::Wait() {
  if (!IsValid()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  if (m_ended) return true;
  if (WaitForChild(m_pid, 0) < 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  m_ended = true;
  return true;
}

void CProcess::Release() {
  if (IsValid() && !m_ended) CollectWhenEnded(m_pid);
  m_pid = -1;
  m_ended = false;
}
