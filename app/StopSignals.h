#pragma once
// SIGINT, SIGTERM and SIGHUP: the program stops the send or fetch under way,
// which then removes what it made, and ends with status 128 + the signal.
//
// While a StopSignalScope lives, a signal only cancels its progress; the
// work returns and the caller ends the program with ExitAfterStopSignal().
// A signal outside every scope ends the program at once, with that status.
// Applications the program launched are left running either way.

class CProgress;

// Installs the handlers, once per process, for the signals not ignored at
// start-up (as nohup and background jobs leave them).
void InstallStopSignals();

class StopSignalScope {
 public:
  explicit StopSignalScope(CProgress& progress);
  ~StopSignalScope();
  StopSignalScope(const StopSignalScope&) = delete;
  StopSignalScope& operator=(const StopSignalScope&) = delete;
};

// Ends the program with status 128 + the signal when one has arrived; else
// returns.
void ExitAfterStopSignal();
