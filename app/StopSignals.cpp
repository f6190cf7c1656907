#include "app/StopSignals.h"

#include "pipeline/Progress.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {

std::atomic<CProgress*> g_armed{nullptr};
volatile std::sig_atomic_t g_signal = 0;

// The files to delete on a stop, kept where a signal handler may read them:
// a slot's path is written before the slot is marked used.
struct DoomedFile {
  std::atomic<bool> used{false};
  char path[PATH_MAX] = {};
};
DoomedFile g_doomed[16];

// Safe in a signal handler: unlink is.
[[noreturn]] void RemoveAndExit(int signal) {
  for (DoomedFile& file : g_doomed) {
    if (file.used.load()) unlink(file.path);
  }
  _exit(128 + signal);
}

void OnStopSignal(int signal) {
  g_signal = signal;
  if (CProgress* progress = g_armed.load()) {
    progress->Cancel();
  } else {
    RemoveAndExit(signal);
  }
}

}  // namespace

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal ignored from the start (nohup, a background job) stays so.
    struct sigaction current = {};
    if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN) continue;
    sigaction(signal, &action, nullptr);
  }
}

StopSignalScope::StopSignalScope(CProgress& progress) { g_armed.store(&progress); }

StopSignalScope::~StopSignalScope() { g_armed.store(nullptr); }

void ExitAfterStopSignal() {
  if (g_signal == 0) return;
  std::fflush(stderr);
  RemoveAndExit(g_signal);
}

bool RemoveOnStop(const std::string& path) {
  if (path.size() >= PATH_MAX) return false;
  for (DoomedFile& file : g_doomed) {
    if (file.used.load()) continue;
    std::memcpy(file.path, path.c_str(), path.size() + 1);
    file.used.store(true);
    return true;
  }
  return false;
}

void KeepOnStop(const std::string& path) {
  for (DoomedFile& file : g_doomed) {
    if (file.used.load() && path == file.path) file.used.store(false);
  }
}
