#include "pipeline/SourceFilter.h"

#include <vector>

CSourceFilter::CSourceFilter(CFilter* next) : CHandleFilter(next) {}

CSourceFilter::CSourceFilter(std::unique_ptr<CFileHandle> handle)
    : CHandleFilter(std::move(handle)) {}

CSourceFilter::CSourceFilter(CFileHandle& handle) : CHandleFilter(handle) {}

CSourceFilter::~CSourceFilter() = default;

bool CSourceFilter::Run() {
  std::vector<uint8_t> block(kBlockSize);
  size_t count = 1;
  while (count != 0) {
    if (!Read(block.data(), block.size(), count)) return false;
    if (!Write(block.data(), count)) return false;
  }
  return Close();
}

bool CSourceFilter::IsSource() const { return true; }

bool CSourceFilter::Open(const std::string& path) {
  ReleaseHandle();
  auto file = std::make_unique<CFileHandle>();
  if (!file->OpenForReading(path, FileShare::Read)) return false;
  Attach(std::move(file));
  return true;
}
