#pragma once
// Small file helpers shared by the test suites. Every path they make lies in
// the test's own temporary folder.

#include <cstdint>
#include <string>
#include <vector>

namespace testing_support {

// The private root of this test process (HOME and TMPDIR live below it).
const std::string& TestRoot();
// A new, empty directory below the test root.
std::string MakeDir(const std::string& name);
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
// The names in a directory, sorted, without "." and "..".
std::vector<std::string> ListDir(const std::string& dir);
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
