#include "platform/AppLauncher.h"

#include "platform/DesktopModule.h"
#include "platform/Process.h"
#include "platform/ProgramModule.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

// One file gives one process; should GIO ever start more, the others are
// released rather than left unreaped.
void KeepProcess(int pid, void* context) {
  auto* started = static_cast<CProcess*>(context);
  CProcess spawned(pid);
  if (!started->IsValid()) *started = std::move(spawned);
}

}  // namespace

bool LaunchAssociatedApp(const std::string& file, CProcess* process, bool wait) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) {
    SetLastErrorFromErrno(errno);
    return false;
  }
  CProgramModule module(CProgramModule::PathOf(kDesktopModule));
  auto* start = module.Entry<decltype(QuiverStartDefaultApp)>(kStartDefaultAppEntry);
  if (!start) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return false;
  }
  CProcess started;
  const uint32_t error = start(file.c_str(), KeepProcess, &started);
  if (error != 0) {
    SetLastError(error);
    return false;
  }
  const bool ok = !wait || started.Wait();
  if (process) *process = std::move(started);
  return ok;
}
