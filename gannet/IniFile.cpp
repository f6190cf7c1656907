#include "IniFile.h"

#include <cstdlib>
#include <fstream>
#include <strings.h>
#include <sys/stat.h>

namespace gannet {

namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n\v\f";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A relative XDG_CONFIG_HOME is ignored, as the XDG rule says.
std::string UserConfigDir() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.config";
  return "";
}

}  // namespace

CIniFile::CIniFile(const std::string& name) {
  const std::string dir = UserConfigDir();
  const std::string user = dir.empty() ? "" : dir + "/" + name;
  m_path = !user.empty() && IsFile(user) ? user : "/etc/" + name;
}

std::vector<CIniFile::Entry> CIniFile::ReadSection(const std::string& section) const {
  std::vector<Entry> entries;
  std::ifstream in(m_path, std::ios::binary);
  bool inside = false;
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      inside = SameName(Trim(line.substr(1, close == std::string::npos ? close : close - 1)),
                        section);
      continue;
    }
    const size_t eq = line.find('=');
    if (!inside || eq == std::string::npos) continue;
    entries.push_back({Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))});
  }
  return entries;
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  for (const Entry& e : ReadSection(section)) {
    if (SameName(e.key, key)) return e.value;
  }
  return def;
}

std::vector<std::string> CIniFile::GetKeys(const std::string& section) const {
  std::vector<std::string> keys;
  for (const Entry& e : ReadSection(section)) keys.push_back(e.key);
  return keys;
}

}  // namespace gannet
