#include "remote/WebTrust.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <strings.h>
#include <sys/stat.h>

namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n\v\f";
  const size_t first = s.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The per-user file when it exists, else the system-wide one.
std::string SettingsPath() {
  const std::string user = WebUserSettingsFile();
  return !user.empty() && IsFile(user) ? user : "/etc/w3skua.ini";
}

// The value of `key` in `wantedSection`; empty when it has none.
std::string Setting(const char* wantedSection, const char* key) {
  std::ifstream in(SettingsPath(), std::ios::binary);
  bool inside = false;
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      const size_t close = line.find(']');
      const std::string section =
          Trim(line.substr(1, close == std::string::npos ? close : close - 1));
      inside = strcasecmp(section.c_str(), wantedSection) == 0;
      continue;
    }
    const size_t eq = line.find('=');
    if (inside && eq != std::string::npos &&
        strcasecmp(Trim(line.substr(0, eq)).c_str(), key) == 0) {
      return Trim(line.substr(eq + 1));
    }
  }
  return "";
}

// A count of at most nine digits; anything else gives `fallback`.
int Number(const std::string& text, int fallback) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
    return fallback;
  }
  return std::stoi(text);
}

}  // namespace

// A relative XDG_CONFIG_HOME is ignored, as the XDG rule says.
std::string WebUserSettingsFile() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/w3skua.ini";
  if (home && *home) return std::string(home) + "/.config/w3skua.ini";
  return "";
}

std::string WebCaFile() { return Setting("network", "cafile"); }

std::string WebProxy() {
  const std::string proxy = Setting("proxy information", "http_proxy");
  // The web access library takes "host:port" alone as well.
  if (proxy.empty() || proxy.find("://") != std::string::npos) return proxy;
  return "http://" + proxy;
}

WebResumeSchedule WebResumes() {
  constexpr int kMaxRetries = 16;
  return {std::min(Number(Setting("network", "retries"), 5), kMaxRetries),
          std::chrono::milliseconds(Number(Setting("network", "retrywait"), 1000))};
}
