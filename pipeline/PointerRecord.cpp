#include "pipeline/PointerRecord.h"

#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/SystemError.h"

#include <array>
#include <cstring>

namespace {

constexpr uint8_t kMagic[4] = {0x05, 0x6C, 0x72, 0x75};

// The transforms in the only order a chain holds them.
const std::array<const CRuntimeClass*, 4> kTransforms = {
    &CLZCompressFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass,
    &CDumbCryptFilter::RuntimeClass, &CStrongCryptFilter::RuntimeClass};

// The encryption types a pointer file may hold: the Simple pair or the
// Strong filter, never both.
bool MixesEncryptions(const CPointerRecord::FilterList& filters) {
  bool simple = false;
  bool strong = false;
  for (const auto& filter : filters) {
    const CRuntimeClass* cls = &filter->GetRuntimeClass();
    strong |= cls == &CStrongCryptFilter::RuntimeClass;
    simple |= cls == &CSimpleCryptFilter::RuntimeClass || cls == &CDumbCryptFilter::RuntimeClass;
  }
  return simple && strong;
}

}  // namespace

CPointerRecord::CPointerRecord() = default;

CPointerRecord::~CPointerRecord() { DeleteFilters(m_filters); }

void CPointerRecord::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive.Write(kMagic, sizeof kMagic);
    archive << m_size;
    archive << std::string_view(m_url);
    archive.WriteCount(static_cast<uint32_t>(m_filters.size()));
    for (const auto& filter : m_filters) archive.WriteObject(*filter);
    return;
  }
  uint8_t magic[4];
  archive.Read(magic, sizeof magic);
  if (std::memcmp(magic, kMagic, sizeof magic) != 0) {
    throw CArchiveException(CArchiveException::Cause::BadObject);
  }
  archive >> m_size;
  archive >> m_url;
  // A NUL or another control byte would make the name, the fetch and the
  // launch each see a different URL.
  for (const char c : m_url) {
    if (static_cast<unsigned char>(c) < 0x20) {
      throw CArchiveException(CArchiveException::Cause::BadObject);
    }
  }
  LoadFilters(archive);
}

// Each filter must be a transform later in the chain than the one before,
// so a list holds each of them at most once, in encoding order.
void CPointerRecord::LoadFilters(CArchive& archive) {
  const uint32_t count = archive.ReadCount(2);
  size_t next = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (next == kTransforms.size()) throw CArchiveException(CArchiveException::Cause::BadObject);
    std::span<const CRuntimeClass* const> allowed(kTransforms.begin() + next, kTransforms.end());
    std::unique_ptr<CObject> object = archive.ReadNewObject(allowed);
    const CRuntimeClass* cls = &object->GetRuntimeClass();
    while (kTransforms[next] != cls) ++next;
    ++next;
    m_filters.emplace_back(static_cast<CFilter*>(object.release()));
  }
  if (MixesEncryptions(m_filters)) throw CArchiveException(CArchiveException::Cause::BadObject);
}

uint32_t CPointerRecord::Load(CFileHandle& file) {
  DeleteFilters(m_filters);
  try {
    CArchive archive(file, CArchive::Mode::Load);
    Serialize(archive);
    return 0;
  } catch (const CArchiveException& e) {
    DeleteFilters(m_filters);
    if (e.IsFormatError()) {
      m_url = kBadFormat;
      return ERROR_INVALID_DATA;
    }
    return e.GetSystemError() ? e.GetSystemError() : ERROR_GEN_FAILURE;
  }
}

std::string CPointerRecord::GetEncryptionDescription() {
  CFilter* filter =
      FindFirstFilter({&CStrongCryptFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass});
  return filter ? filter->GetDescription() : "None";
}

std::string CPointerRecord::GetCompressionDescription() {
  if (CFilter* filter = FindFirstFilter({&CLZCompressFilter::RuntimeClass})) {
    return filter->GetDescription();
  }
  if (m_size != 0) return "None: " + std::to_string(m_size) + " bytes";
  return "None";
}

std::string CPointerRecord::DecodingFailureDetail(uint32_t code) {
  if (code != ERROR_INVALID_DATA || !FindFilter(CStrongCryptFilter::RuntimeClass)) return "";
  return "It was damaged or altered in transit: its Strong encryption does not authenticate it.";
}

void CPointerRecord::AddFilter(std::unique_ptr<CFilter> filter) {
  m_filters.push_back(std::move(filter));
}

CFilter* CPointerRecord::FindFilter(const CRuntimeClass& cls) {
  for (const auto& filter : m_filters) {
    if (filter && &filter->GetRuntimeClass() == &cls) return filter.get();
  }
  return nullptr;
}

CFilter* CPointerRecord::FindFirstFilter(std::initializer_list<const CRuntimeClass*> classes) {
  for (const CRuntimeClass* cls : classes) {
    if (CFilter* filter = FindFilter(*cls)) return filter;
  }
  return nullptr;
}

void CPointerRecord::DeleteFilters(FilterList& list) {
  list.clear();
  list.shrink_to_fit();
}
