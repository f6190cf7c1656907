#include "ArchiveTestSupport.h"

#include "platform/FileHandle.h"
#include "support/TestFiles.h"

#include <stdexcept>

namespace {

std::string NewPath() {
  static int counter = 0;
  return testing_support::TestRoot() + "/archive" + std::to_string(++counter) + ".bin";
}

}  // namespace

std::string StoreBytes(const std::function<void(CArchive&)>& body) {
  const std::string path = NewPath();
  CFileHandle file;
  if (!file.CreateAlways(path, FileShare::None)) throw std::runtime_error("create " + path);
  CArchive archive(file, CArchive::Mode::Store);
  body(archive);
  archive.Close();
  file.Close();
  return testing_support::ReadFile(path);
}

void LoadBytes(const std::string& bytes, const std::function<void(CArchive&)>& body) {
  const std::string path = NewPath();
  testing_support::WriteFile(path, bytes);
  CFileHandle file;
  if (!file.OpenForReading(path, FileShare::None)) throw std::runtime_error("open " + path);
  CArchive archive(file, CArchive::Mode::Load);
  body(archive);
}

std::optional<CArchiveException::Cause> LoadFailure(
    const std::string& bytes, const std::function<void(CArchive&)>& body) {
  try {
    LoadBytes(bytes, body);
  } catch (const CArchiveException& e) {
    return e.GetCause();
  }
  return std::nullopt;
}
