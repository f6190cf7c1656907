// libFuzzer target for pointer files, which arrive by mail from anyone: any
// file either loads or fails as a damaged file (error 13, the URL "Bad File
// Format!", no filters), and never aborts. A file that loads is written out
// again; that copy loads to the same document and writes the same bytes.

#include "FuzzFiles.h"
#include "app/PointerDoc.h"
#include "pipeline/Filter.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <typeindex>
#include <vector>

namespace {

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::type_index> Classes(const CPointerDoc& doc) {
  std::vector<std::type_index> classes;
  for (const auto& filter : doc.GetFilters()) {
    const CFilter& f = *filter;
    classes.emplace_back(typeid(f));
  }
  return classes;
}

void CheckRewrite(CPointerDoc& doc) {
  const std::string& first = ScratchPath(1);
  const std::string& second = ScratchPath(2);
  if (!doc.WriteToFile(first)) std::abort();
  CPointerDoc again;
  if (!again.ReadFromFile(first)) std::abort();
  if (again.GetUrl() != doc.GetUrl() || again.GetSize() != doc.GetSize()) std::abort();
  if (Classes(again) != Classes(doc)) std::abort();
  if (again.GetCompressionDescription() != doc.GetCompressionDescription()) std::abort();
  if (again.GetEncryptionDescription() != doc.GetEncryptionDescription()) std::abort();
  if (!again.WriteToFile(second) || Contents(first) != Contents(second)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = WriteScratchFile(data, size);
  CPointerDoc doc;
  if (!doc.ReadFromFile(path)) {
    if (doc.GetError() != 13 || doc.GetUrl() != "Bad File Format!" || !doc.GetFilters().empty()) {
      std::abort();
    }
    return 0;
  }
  // What the view window shows of a pointer file.
  doc.GetCompressionDescription();
  doc.GetEncryptionDescription();
  CheckRewrite(doc);
  return 0;
}
