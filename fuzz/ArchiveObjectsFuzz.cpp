// libFuzzer target for reading objects from an archive: any file either
// loads or fails with CArchiveException, and never allocates much more than
// its own size. The first byte picks the accepted classes: the transform
// filters, or every filter class.

#include "FuzzFiles.h"
#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/FileHandle.h"

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

const CRuntimeClass* const kTransforms[] = {
    &CLZCompressFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass,
    &CDumbCryptFilter::RuntimeClass, &CStrongCryptFilter::RuntimeClass};

const CRuntimeClass* const kFilterClasses[] = {
    &CFilter::RuntimeClass,           &CBufferFilter::RuntimeClass,
    &CHandleFilter::RuntimeClass,     &CSourceFilter::RuntimeClass,
    &CBufferedSourceFilter::RuntimeClass, &CSinkFilter::RuntimeClass,
    &CLZCompressFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass,
    &CDumbCryptFilter::RuntimeClass, &CStrongCryptFilter::RuntimeClass};

void ReadAll(CArchive& archive, std::span<const CRuntimeClass* const> accepted) {
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
  const bool transformsOnly = data[0] & 1;
  const std::string& path = WriteScratchFile(data + 1, size - 1);
  CFileHandle file;
  if (!file.OpenForReading(path, FileShare::None)) std::abort();
  try {
    CArchive archive(file, CArchive::Mode::Load);
    ReadAll(archive, transformsOnly ? std::span<const CRuntimeClass* const>(kTransforms)
                                    : std::span<const CRuntimeClass* const>(kFilterClasses));
  } catch (const CArchiveException& e) {
    if (!e.IsFormatError()) std::abort();
  }
  return 0;
}
