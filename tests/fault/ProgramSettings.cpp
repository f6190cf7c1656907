#include "ProgramSettings.h"

#include "support/TestFiles.h"

#include <cstdlib>
#include <stdexcept>

void WriteProgramSettings(const std::string& urlRoot, const std::string& fileRoot, int compress,
                          int encrypt) {
  const std::string dir = std::string(std::getenv("XDG_CONFIG_HOME")) + "/Marrow/Quiver/V1.1";
  if (testing_support::Run("mkdir -p '" + dir + "'") != 0) throw std::runtime_error("mkdir " + dir);
  testing_support::WriteFile(dir + "/Quiver.ini",
                             "[Settings]\nUrlRoot=" + urlRoot + "\nFileRoot=" + fileRoot +
                                 "/\nCompressType=" + std::to_string(compress) +
                                 "\nEncryptType=" + std::to_string(encrypt) +
                                 "\nDeleteTempFiles=1\n");
}
