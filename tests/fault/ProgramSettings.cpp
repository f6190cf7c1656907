#include "ProgramSettings.h"

#include "app/ReceivePage.h"
#include "support/TestFiles.h"

#include <algorithm>

#include <cstdlib>
#include <stdexcept>

void WriteProgramSettings(const std::string& urlRoot, const std::string& fileRoot, int compress,
                          int encrypt) {
  testing_support::WriteSettingsFile("UrlRoot=" + urlRoot + "\nFileRoot=" + fileRoot +
                                     "/\nCompressType=" + std::to_string(compress) +
                                     "\nEncryptType=" + std::to_string(encrypt) +
                                     "\nDeleteTempFiles=1\n");
}

ProgramOutcome RunQuiver(const std::vector<std::string>& args, const std::string& prefix) {
  const std::string dir = testing_support::MakeDir("run");
  std::string command = prefix + " '" QUIVER_EXECUTABLE "'";
  for (const std::string& arg : args) command += " '" + arg + "'";
  const int status = testing_support::Run(command + " >" + dir + "/out 2>" + dir + "/err");
  return {status, testing_support::ReadFile(dir + "/out"), testing_support::ReadFile(dir + "/err")};
}

std::vector<std::string> ListSent(const std::string& dir) {
  std::vector<std::string> names = testing_support::ListDir(dir);
  std::erase_if(names, [](const std::string& name) { return CReceivePage::IsPageName(name); });
  return names;
}
