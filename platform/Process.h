#pragma once
// A child process of this program, owned by its handle.
//
// The handle is what collects the child's exit (waitpid), so that an ended
// child never lingers as a zombie: either Wait() collects it, or Release()
// (also run by the destructor) hands it to a background collector. Nothing
// else in the program may wait for a process while a handle owns it.
//
// Failing operations return false with the thread's last error set
// (platform/SystemError.h); nothing throws.

#include <sys/types.h>

class CProcess {
 public:
  CProcess() = default;
  // Takes ownership of `pid`, a child of this process.
  explicit CProcess(pid_t pid);
  // Release()s a process that was not waited for.
  ~CProcess();
  CProcess(CProcess&& other) noexcept;
  // Release()s the process this handle held, then takes over `other`'s.
  CProcess& operator=(CProcess&& other) noexcept;
  CProcess(const CProcess&) = delete;
  CProcess& operator=(const CProcess&) = delete;

  // Blocks, without a time limit and through interrupting signals, until the
  // process has ended, and collects it. The exit status is not kept. Returns
  // true at once for a process already waited for. Fails with
  // ERROR_INVALID_HANDLE (6) when the handle holds no process, and with the
  // translated errno when waiting fails (ERROR_GEN_FAILURE (31) when the
  // child was collected elsewhere); the handle still holds the process then.
  bool Wait();

  // Gives the process up without waiting: an ended child is collected at
  // once, a running one by a detached thread that waits for it alone, so it
  // is collected as soon as it ends. Should no thread be available, the
  // child is left to the system, which collects it once this program has
  // ended. The handle is empty afterwards; releasing an empty one does
  // nothing.
  void Release();

  // True while the handle holds a process, running or already waited for.
  bool IsValid() const { return m_pid > 0; }
  // The process id (kept after Wait, so that handles stay distinguishable);
  // -1 for an empty handle.
  pid_t Pid() const { return m_pid; }

 private:
  pid_t m_pid = -1;
  bool m_ended = false;
};
