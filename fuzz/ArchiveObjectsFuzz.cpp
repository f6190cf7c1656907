// libFuzzer target for reading objects from an archive: any file either
// loads or fails with CArchiveException, and never allocates much more than
// its own size. The first byte picks the accepted classes: every stored
// transform, or those after LZ, as the pointer reader narrows them after a
// first filter.

#include "FuzzFiles.h"
#include "framework/Archive.h"
#include "pipeline/PointerRecord.h"
#include "platform/FileHandle.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void ReadAll(CArchive& archive, std::span<const CStoredClass> accepted) {
  std::vector<std::unique_ptr<CObject>> owned;
  const uint32_t count = archive.ReadCount(2);
  for (uint32_t i = 0; i < count; ++i) {
    owned.push_back(archive.ReadNewObject(accepted));
    // Descriptions show stored counts.
    static_cast<CFilter&>(*owned.back()).GetDescription();
  }
  archive.ReadString();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const CStoredClass> transforms = CPointerRecord::StoredTransforms();
  const bool allTransforms = data[0] & 1;
  const std::string& path = WriteScratchFile(data + 1, size - 1);
  CFileHandle file;
  if (!file.OpenForReading(path, FileShare::None)) std::abort();
  try {
    CArchive archive(file, CArchive::Mode::Load);
    ReadAll(archive, allTransforms ? transforms : transforms.subspan(1));
  } catch (const CArchiveException& e) {
    if (!e.IsFormatError()) std::abort();
  }
  return 0;
}
