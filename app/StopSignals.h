#pragma once
// SIGINT, SIGTERM and SIGHUP: the program stops the send or fetch under way,
// which then removes what it made, and ends with status 128 + the signal.
//
// While a StopSignalScope lives, a signal only cancels its progress; the
// work returns and the caller ends the program with ExitAfterStopSignal().
// A signal outside every scope ends the program at once, with that status.
// Applications the program launched are left running either way; the files
// given to RemoveOnStop are deleted first (an application that has one open
// keeps reading it).

#include <string>

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

// Deletes `path` should a stop signal end the program, until KeepOnStop:
// decoded files that nobody may find in the temporary folder afterwards.
// False when every place for such a path is taken (16 at once) or the path
// is too long; the caller then removes the file itself as usual.
bool RemoveOnStop(const std::string& path);
void KeepOnStop(const std::string& path);
