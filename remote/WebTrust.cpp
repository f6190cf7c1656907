#include "remote/WebTrust.h"

#include "ini/IniReader.h"
#include "ini/UserFolders.h"
#include "platform/Directories.h"

#include <algorithm>

namespace {

// The value of `key` in `section` of the file the web access library reads;
// empty when it has none.
std::string Setting(const char* section, const char* key) {
  using ini::CIniReader;
  const CIniReader reader =
      CIniReader::FromFile(ini::FindSettingsFile("w3skua.ini"), CIniReader::Form::Loose);
  const std::string* value = reader.Find(section, key);
  return value ? *value : "";
}

// A count of at most nine digits; anything else gives `fallback`.
int Number(const std::string& text, int fallback) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
    return fallback;
  }
  return std::stoi(text);
}

}  // namespace

std::string WebUserSettingsFile() { return UserConfigDirectory() + "/w3skua.ini"; }

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
