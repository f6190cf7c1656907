#include "support/PrivateDesktop.h"

#include "support/TestFiles.h"

#include <cerrno>
#include <cstdlib>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace testing_support {

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

void UsePrivateDesktop() {
  const std::string root = ProcessRoot();
  for (const char* name : {"sysdata", "sysconfig"}) mkdir((root + "/" + name).c_str(), 0700);
  mkdir((Env("XDG_DATA_HOME") + "/applications").c_str(), 0700);
  if (symlink("/usr/share/mime", (root + "/sysdata/mime").c_str()) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot link the MIME database into " + root);
  }
  setenv("XDG_DATA_DIRS", (root + "/sysdata").c_str(), 1);
  setenv("XDG_CONFIG_DIRS", (root + "/sysconfig").c_str(), 1);
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"}) {
    unsetenv(name);
  }
}

void InstallApplication(const std::string& id, const std::string& exec,
                        const std::string& mimeTypes, const std::string& extraKeys) {
  WriteFile(Env("XDG_DATA_HOME") + "/applications/" + id + ".desktop",
            "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + exec +
                "\nMimeType=" + mimeTypes + "\n" + extraKeys);
}

void SetDefaultApplications(const std::vector<std::pair<std::string, std::string>>& defaults) {
  std::string list = "[Default Applications]\n";
  for (const auto& [type, id] : defaults) list += type + "=" + id + "\n";
  WriteFile(Env("XDG_CONFIG_HOME") + "/mimeapps.list", list);
}

void WriteScript(const std::string& path, const std::string& text) {
  WriteFile(path, text);
  if (chmod(path.c_str(), 0755) != 0) throw std::runtime_error("chmod " + path);
}

void InstallDefaultApplication(const std::string& id, const std::string& script,
                               const std::vector<std::string>& mimeTypes) {
  const std::string program = TestRoot() + "/" + id;
  WriteScript(program, script);
  std::string types;
  std::vector<std::pair<std::string, std::string>> defaults;
  for (const std::string& type : mimeTypes) {
    types += type + ";";
    defaults.emplace_back(type, id + ".desktop");
  }
  InstallApplication(id, program + " %f", types);
  SetDefaultApplications(defaults);
}

}  // namespace testing_support
