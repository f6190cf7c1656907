#pragma once
// A module of the program: a shared object that the program loads only for
// the runs that need it, from ../lib/quiver/ beside the executable (in an
// installed tree and in the build tree alike).
//
// A module holds none of the code that the program holds: it uses the
// program's, through the symbols the executable exports, so that state of
// the program's (the thread's stop event and last error, the current
// progress) exists once however many modules run. A module stays in the
// process once loaded, whatever becomes of its handle: the objects it made
// and the libraries under it (exit handlers, thread-locals) outlive any
// owner. Each module exports its stamp, kStampSymbol, the build's stamp
// when it was built; one built for another version of the program is
// refused.

#include <string>

#include "platform/SharedLibrary.h"

class CProgramModule {
 public:
  static constexpr const char* kStampSymbol = "QuiverModuleStamp";

  // This build's stamp, which its modules carry.
  static const char* Stamp();
  // The path of the module `fileName` for the running program.
  static std::string PathOf(const std::string& fileName);

  // Loads the module at `path` and checks its stamp.
  explicit CProgramModule(const std::string& path);

  bool IsLoaded() const { return m_error.empty(); }
  // The entry `name` as an `F*`; null, with Error() set, when the module is
  // not loaded or has no such entry.
  template <class F>
  F* Entry(const char* name) {
    if (!IsLoaded()) return nullptr;
    F* entry = m_library.Find<F>(name);
    if (!entry) Refuse(m_library.Error());
    return entry;
  }
  // Why the module cannot serve, in a sentence that names its path; empty
  // while it can.
  const std::string& Error() const { return m_error; }

 private:
  void Refuse(const std::string& reason);

  std::string m_path;
  CSharedLibrary m_library;
  std::string m_error;
};
