#pragma once
// A program a test starts: run under `timeout`, so that it ends by itself
// after `lifetimeSeconds` even when the test process dies first, and ended
// with SIGTERM, if still running, when the object goes.

#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace testing_support {

class CChildProcess {
 public:
  // Starts argv[0] (looked up in PATH) with argv. Each (from, to) pair of
  // `descriptors` is duplicated in the child, from onto to, before it runs.
  CChildProcess(const std::vector<std::string>& argv, int lifetimeSeconds,
                const std::vector<std::pair<int, int>>& descriptors = {});
  ~CChildProcess() { Stop(); }
  CChildProcess(const CChildProcess&) = delete;
  CChildProcess& operator=(const CChildProcess&) = delete;

  bool Running();
  // Sends `signal`, which `timeout` hands on to the program.
  void Signal(int signal);
  // Waits for the end: the exit status (127 when the program cannot be
  // found, 124 when it outlived its lifetime), or -1 when a signal ended it.
  int Wait();
  // Ends the program with SIGTERM and waits for it.
  void Stop();
  // Ends the program and every process it started at once with SIGKILL, as
  // a crash of its machine would, and waits for it.
  void Kill();

 private:
  void Reaped(int status);

  pid_t m_pid = -1;
  int m_status = -1;
};

}  // namespace testing_support
