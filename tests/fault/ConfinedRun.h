#pragma once
// Runs the quiver program once with one directory made to fail: filled up
// (a 64 KiB tmpfs) or read-only (a read-only tmpfs). The tmpfs lives in a
// private mount namespace of that run only, so nothing outside it changes.
// Where this machine allows no such namespace, a full directory becomes a
// file-size limit on the whole run and a read-only one loses its write
// permission bits (which bind only a user other than root).

#include <string>
#include <vector>

enum class Confinement { kFull, kReadOnly };

struct ConfinedResult {
  bool ran = false;          // false: this machine cannot confine that way
  int status = -1;           // the program's exit status
  std::string errors;        // what it wrote on standard error
  std::vector<std::string> left;  // names in the directory when it ended
  std::string copies;        // a folder holding the directory's files then
};

class CConfinedRun {
 public:
  // Whether runs get a private tmpfs (true) or the fallbacks above.
  static bool CanMount();

  // The message the program shows for a directory confined this way.
  static std::string Message(Confinement how);

  // Runs `program args...` with `dir` confined; `seeds` are copied into the
  // directory first (they stay where they are). `dir` must exist and, for
  // a tmpfs, is hidden under it for the run.
  static ConfinedResult Run(const std::string& program, const std::vector<std::string>& args,
                            const std::string& dir, Confinement how,
                            const std::vector<std::string>& seeds = {});
};
