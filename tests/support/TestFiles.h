#pragma once
// Small file helpers shared by the test suites. Every path they make lies in
// the test's own temporary folder.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

// The private root of the running test case, or of the running suite's
// set-up (HOME, the XDG folders and TMPDIR live below it).
std::string TestRoot();
// The root of the whole test process, which outlives every case: for what
// is made once per process.
std::string ProcessRoot();
// A new, empty directory below the test root.
std::string MakeDir(const std::string& name);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& dir);
// The bytes given as numbers 0 to 255.
std::string Bytes(std::initializer_list<int> values);
// The bytes of `s`, as the filters take them.
inline const uint8_t* Data(const std::string& s) {
  return reinterpret_cast<const uint8_t*>(s.data());
}
// Writes the program's settings file (making its folders) with `body` below
// the line "[Settings]"; returns its path.
std::string WriteSettingsFile(const std::string& body);
// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t n, uint32_t seed);
// Readable text with long-range repetition, as documents have.
std::string SampleText(size_t n);
// Runs a shell command; returns its exit status (or -1).
int Run(const std::string& command);
// The folder of this test binary's own build tree (QUIVER_BUILD_DIR).
std::string BuildDir();
// The folder of the source tree (QUIVER_SOURCE_DIR).
std::string SourceDir();

}  // namespace testing_support
