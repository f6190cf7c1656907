#include "platform/ProgramType.h"

#include "platform/FileHandle.h"

#include <gio/gio.h>

#include <memory>

namespace {

// Every type that runs when opened; subtypes (a Python script is an
// executable, a C shell script a shell script) count through
// g_content_type_is_a.
constexpr const char* kProgramTypes[] = {
    "application/x-executable",
    "application/x-pie-executable",
    "application/x-sharedlib",
    "application/x-shellscript",
    "application/x-shar",
    "application/x-php",
    "text/tcl",
    "text/vbscript",
    "application/x-desktop",
    "application/x-ms-dos-executable",
    "application/x-msdownload",
    "application/vnd.microsoft.portable-executable",
    "application/x-msi",
    "application/x-ms-shortcut",
    "application/x-bat",
    "application/x-java-archive",
    "application/x-java-jnlp-file",
};

// As much of the head of a file as content sniffing looks at.
constexpr size_t kSniffBytes = 4096;

struct Free {
  void operator()(gpointer memory) const { g_free(memory); }
};

}  // namespace

bool IsProgramOrScript(const std::string& file) {
  guchar head[kSniffBytes];
  size_t got = 0;
  CFileHandle handle;
  if (!handle.OpenForReading(file, FileShare::ReadWrite) || !handle.Read(head, sizeof head, got)) {
    got = 0;
  }
  const std::unique_ptr<gchar, Free> type(
      g_content_type_guess(file.c_str(), got > 0 ? head : nullptr, got, nullptr));
  for (const char* program : kProgramTypes) {
    if (g_content_type_is_a(type.get(), program)) return true;
  }
  return false;
}
