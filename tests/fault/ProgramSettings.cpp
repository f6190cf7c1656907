#include "ProgramSettings.h"

#include "support/TestFiles.h"

#include <cstdlib>
#include <stdexcept>

void WriteProgramSettings(const std::string& urlRoot, const std::string& fileRoot, int compress,
                          int encrypt) {
  testing_support::WriteSettingsFile("UrlRoot=" + urlRoot + "\nFileRoot=" + fileRoot +
                                     "/\nCompressType=" + std::to_string(compress) +
                                     "\nEncryptType=" + std::to_string(encrypt) +
                                     "\nDeleteTempFiles=1\n");
}
