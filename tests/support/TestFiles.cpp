#include "support/TestFiles.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

namespace testing_support {

namespace {

std::string Variable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) throw std::runtime_error(std::string(name) + " is not set");
  return value;
}

}  // namespace

std::string TestRoot() { return Variable("QUIVER_TEST_ROOT"); }

std::string ProcessRoot() { return Variable("QUIVER_TEST_PROCESS_ROOT"); }

std::string MakeDir(const std::string& name) {
  static int counter = 0;
  const std::string dir = TestRoot() + "/" + name + "." + std::to_string(++counter);
  if (mkdir(dir.c_str(), 0700) != 0) throw std::runtime_error("mkdir " + dir);
  return dir;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

std::string WriteSettingsFile(const std::string& body) {
  const std::string dir = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Marrow/Quiver/V1.1";
  if (Run("mkdir -p '" + dir + "'") != 0) throw std::runtime_error("mkdir " + dir);
  WriteFile(dir + "/Quiver.ini", "[Settings]\n" + body);
  return dir + "/Quiver.ini";
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> ListDir(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (const dirent* e = readdir(d)) {
      const std::string n = e->d_name;
      if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 gen(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::string SampleText(size_t n) {
  static const char* words[] = {"quiver", "arrow", "file", "pointer", "server", "the",
                                "of", "send", "receive", "compress", "lemon", "window",
                                "directory", "and", "a", "published", "mail", "size"};
  std::mt19937 gen(7);
  std::string s;
  s.reserve(n + 16);
  while (s.size() < n) {
    s += words[gen() % (sizeof words / sizeof *words)];
    s += (gen() % 11 == 0) ? ".\n" : " ";
    if (gen() % 97 == 0) s += std::to_string(gen());
  }
  s.resize(n);
  return s;
}

int Run(const std::string& command) {
  const int status = std::system(command.c_str());
  if (status == -1 || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

std::string BuildDir() { return QUIVER_BUILD_DIR; }
std::string SourceDir() { return QUIVER_SOURCE_DIR; }

}  // namespace testing_support
