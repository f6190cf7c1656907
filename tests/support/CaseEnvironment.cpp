#include "support/CaseEnvironment.h"

#include "support/RemoveTree.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

extern char** environ;

namespace testing_support {

namespace {

const char* const kFolders[] = {"home", "config", "data", "cache", "runtime", "tmp"};

std::vector<std::string> Environment() {
  std::vector<std::string> entries;
  for (char** e = environ; *e; ++e) entries.emplace_back(*e);
  return entries;
}

// Only what differs is changed: a thread left running may be reading the
// rest.
void RestoreEnvironment(const std::vector<std::string>& entries) {
  std::map<std::string, std::string> wanted;
  for (const std::string& entry : entries) {
    const size_t equals = entry.find('=');
    wanted[entry.substr(0, equals)] = entry.substr(equals + 1);
  }
  for (const std::string& entry : Environment()) {
    const std::string name = entry.substr(0, entry.find('='));
    if (!wanted.count(name)) unsetenv(name.c_str());
  }
  for (const auto& [name, value] : wanted) {
    const char* now = std::getenv(name.c_str());
    if (!now || value != now) setenv(name.c_str(), value.c_str(), 1);
  }
}

// Copies folders, regular files and links below `from` into `to`; sockets
// and the like stay behind.
void CopyTree(const std::string& from, const std::string& to) {
  DIR* dir = opendir(from.c_str());
  if (!dir) return;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string source = from + "/" + name, target = to + "/" + name;
    struct stat st;
    if (lstat(source.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      mkdir(target.c_str(), st.st_mode & 07777);
      CopyTree(source, target);
    } else if (S_ISLNK(st.st_mode)) {
      std::string link(static_cast<size_t>(st.st_size) + 1, '\0');
      const ssize_t n = readlink(source.c_str(), link.data(), link.size());
      if (n > 0 && symlink(link.substr(0, static_cast<size_t>(n)).c_str(), target.c_str()) != 0) {
        std::abort();
      }
    } else if (S_ISREG(st.st_mode)) {
      const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
      const int out =
          open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
      char buffer[65536];
      ssize_t n = 0;
      while (in >= 0 && out >= 0 && (n = read(in, buffer, sizeof buffer)) > 0) {
        if (write(out, buffer, static_cast<size_t>(n)) != n) std::abort();
      }
      if (in < 0 || out < 0 || n < 0) std::abort();
      close(in);
      close(out);
    }
  }
  closedir(dir);
}

std::vector<std::string> SearchPath(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  const std::string list = value && *value ? value : fallback;
  std::vector<std::string> dirs;
  for (size_t at = 0; at <= list.size();) {
    const size_t colon = std::min(list.find(':', at), list.size());
    if (colon > at) dirs.push_back(list.substr(at, colon - at));
    at = colon + 1;
  }
  return dirs;
}

// Hands GLib the folders the environment names now.
void TellGLib() {
  using SetUserDirs = void (*)(const char*, ...);
  static const auto set = reinterpret_cast<SetUserDirs>(dlsym(RTLD_DEFAULT, "g_set_user_dirs"));
  if (!set) return;
  std::vector<std::string> data = SearchPath("XDG_DATA_DIRS", "/usr/local/share/:/usr/share/");
  std::vector<std::string> config = SearchPath("XDG_CONFIG_DIRS", "/etc/xdg");
  std::vector<const char*> dataList, configList;
  for (const std::string& dir : data) dataList.push_back(dir.c_str());
  for (const std::string& dir : config) configList.push_back(dir.c_str());
  dataList.push_back(nullptr);
  configList.push_back(nullptr);
#if defined(__SANITIZE_ADDRESS__)
  // GLib keeps every set of folders it was given, so that the strings it
  // handed out before stay valid: memory it keeps by design, not a leak.
  const __lsan::ScopedDisabler keptByGLib;
#endif
  set("HOME", std::getenv("HOME"), "XDG_CACHE_HOME", std::getenv("XDG_CACHE_HOME"),
      "XDG_CONFIG_HOME", std::getenv("XDG_CONFIG_HOME"), "XDG_DATA_HOME",
      std::getenv("XDG_DATA_HOME"), "XDG_RUNTIME_DIR", std::getenv("XDG_RUNTIME_DIR"),
      "XDG_CONFIG_DIRS", configList.data(), "XDG_DATA_DIRS", dataList.data(), nullptr);
}

void PointAt(const std::string& root) {
  for (const char* folder : kFolders) mkdir((root + "/" + folder).c_str(), 0700);
  setenv("QUIVER_TEST_ROOT", root.c_str(), 1);
  setenv("HOME", (root + "/home").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
  setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
  setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root + "/runtime").c_str(), 1);
  setenv("TMPDIR", (root + "/tmp").c_str(), 1);
  TellGLib();
}

}  // namespace

void CCaseEnvironment::OnTestProgramStart(const ::testing::UnitTest&) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/quiver-test.XXXXXX";
  if (!mkdtemp(pattern.data())) std::abort();
  m_processRoot = pattern;
  // Servers that drop their privileges pass through to the root they serve.
  chmod(m_processRoot.c_str(), 0711);
  setenv("QUIVER_TEST_PROCESS_ROOT", m_processRoot.c_str(), 1);
  PointAt(m_processRoot);
}

void CCaseEnvironment::Enter(const std::string& prefix, const std::string* seed) {
  const std::string root = m_processRoot + "/" + prefix + std::to_string(++m_made);
  if (mkdir(root.c_str(), seed ? 0700 : 0711) != 0) std::abort();
  m_levels.push_back(Level{root, Environment()});
  for (const char* folder : kFolders) {
    mkdir((root + "/" + folder).c_str(), 0700);
    if (seed) CopyTree(*seed + "/" + folder, root + "/" + folder);
  }
  PointAt(root);
}

void CCaseEnvironment::Leave() {
  if (m_levels.empty()) return;
  RestoreEnvironment(m_levels.back().environment);
  TellGLib();
  if (!std::getenv("QUIVER_KEEP_TEST_ROOT")) RemoveTree(m_levels.back().root);
  m_levels.pop_back();
}

void CCaseEnvironment::OnTestSuiteStart(const ::testing::TestSuite&) { Enter("s", nullptr); }

void CCaseEnvironment::OnTestStart(const ::testing::TestInfo&) {
  const std::string suite = m_levels.empty() ? m_processRoot : m_levels.back().root;
  Enter("c", &suite);
}

void CCaseEnvironment::OnTestEnd(const ::testing::TestInfo&) { Leave(); }

void CCaseEnvironment::OnTestSuiteEnd(const ::testing::TestSuite&) { Leave(); }

void CCaseEnvironment::OnTestProgramEnd(const ::testing::UnitTest&) {
  while (!m_levels.empty()) Leave();
  if (!std::getenv("QUIVER_KEEP_TEST_ROOT")) RemoveTree(m_processRoot);
}

}  // namespace testing_support
