#include "app/StopSignals.h"

#include "pipeline/Progress.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

std::atomic<CProgress*> g_armed{nullptr};
volatile std::sig_atomic_t g_signal = 0;

void OnStopSignal(int signal) {
  g_signal = signal;
  if (CProgress* progress = g_armed.load()) {
    progress->Cancel();
  } else {
    _exit(128 + signal);
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
  _exit(128 + g_signal);
}
