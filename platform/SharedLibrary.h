#pragma once
// An owned handle of a shared object loaded while the program runs (dlopen),
// released when the owner goes. Every symbol the object needs is bound as it
// loads, so an object that cannot run here fails at once, with the loader's
// reason, and not part way through its work.

#include <string>

class CSharedLibrary {
 public:
  // Loads `path` (a file name alone is searched for as the loader searches
  // for libraries). `flags` add to RTLD_NOW | RTLD_LOCAL.
  explicit CSharedLibrary(const std::string& path, int flags = 0);
  ~CSharedLibrary();
  CSharedLibrary(const CSharedLibrary&) = delete;
  CSharedLibrary& operator=(const CSharedLibrary&) = delete;

  bool IsLoaded() const { return m_handle != nullptr; }
  // The address of the symbol `name` as a `T*`; null, with Error() set, when
  // the object is not loaded or has no such symbol.
  template <class T>
  T* Find(const char* name) {
    return reinterpret_cast<T*>(Symbol(name));
  }
  // The loader's reason for the last failure (dlerror()).
  const std::string& Error() const { return m_error; }

 private:
  void* Symbol(const char* name);

  void* m_handle;
  std::string m_error;
};
