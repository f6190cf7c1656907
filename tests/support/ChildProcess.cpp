#include "support/ChildProcess.h"

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

CChildProcess::CChildProcess(const std::vector<std::string>& argv, int lifetimeSeconds,
                             const std::vector<std::pair<int, int>>& descriptors) {
  std::vector<std::string> all = {"timeout", std::to_string(lifetimeSeconds)};
  all.insert(all.end(), argv.begin(), argv.end());
  std::vector<char*> args;
  for (std::string& a : all) args.push_back(a.data());
  args.push_back(nullptr);
  m_pid = fork();
  if (m_pid == 0) {
    for (const auto& [from, to] : descriptors) {
      if (from != to) dup2(from, to);
    }
    execvp(args[0], args.data());
    _exit(127);
  }
}

void CChildProcess::Reaped(int status) {
  m_pid = -1;
  m_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CChildProcess::Running() {
  if (m_pid <= 0) return false;
  int status = 0;
  if (waitpid(m_pid, &status, WNOHANG) == 0) return true;
  Reaped(status);
  return false;
}

int CChildProcess::Wait() {
  if (m_pid <= 0) return m_status;
  int status = 0;
  if (waitpid(m_pid, &status, 0) == m_pid) {
    Reaped(status);
  } else {
    m_pid = -1;
  }
  return m_status;
}

void CChildProcess::Stop() {
  if (!Running()) return;
  kill(m_pid, SIGTERM);
  Wait();
}

void CChildProcess::Kill() {
  if (!Running()) return;
  // The program is killed, not `timeout`, which then reaps it and ends: a
  // killed `timeout` would leave the program a zombie of the container's init.
  const std::string pid = std::to_string(m_pid);
  std::ifstream children("/proc/" + pid + "/task/" + pid + "/children");
  for (pid_t child = 0; children >> child;) kill(child, SIGKILL);
  Wait();
}

}  // namespace testing_support
