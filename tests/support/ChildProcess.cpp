#include "support/ChildProcess.h"

#include <csignal>
#include <fstream>
#include <vector>
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

void CChildProcess::Signal(int signal) {
  if (m_pid > 0) kill(m_pid, signal);
}

void CChildProcess::Stop() {
  if (!Running()) return;
  kill(m_pid, SIGTERM);
  Wait();
}

namespace {

// The processes below `pid`, found through /proc: a server may start its
// connections in sessions of their own, out of reach of a process group.
void AddDescendants(pid_t pid, std::vector<pid_t>& tree) {
  const std::string id = std::to_string(pid);
  std::ifstream children("/proc/" + id + "/task/" + id + "/children");
  for (pid_t child = 0; children >> child;) {
    tree.push_back(child);
    AddDescendants(child, tree);
  }
}

}  // namespace

void CChildProcess::Kill() {
  if (!Running()) return;
  // Everything below `timeout` is killed, not `timeout` itself, which then
  // reaps the program and ends: a killed `timeout` would leave the program a
  // zombie of the container's init.
  std::vector<pid_t> tree;
  AddDescendants(m_pid, tree);
  for (pid_t pid : tree) kill(pid, SIGKILL);
  Wait();
}

}  // namespace testing_support
