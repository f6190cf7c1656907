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

// The stored names and schema numbers are the file format: they are spelled
// out here, apart from the C++ names, so that renaming a class cannot change
// a byte of a pointer file. In the only order a chain holds them.
constinit const std::array<CStoredClass, 4> kTransforms = {
    StoredClass<CLZCompressFilter>("CLZCompressFilter", 1),
    StoredClass<CSimpleCryptFilter>("CSimpleCryptFilter", 1),
    StoredClass<CDumbCryptFilter>("CDumbCryptFilter", 1),
    StoredClass<CStrongCryptFilter>("CStrongCryptFilter", 1),
};

// The encryption types a pointer file may hold: the Simple pair or the
// Strong filter, never both.
bool MixesEncryptions(const CPointerRecord::FilterList& filters) {
  bool simple = false;
  bool strong = false;
  for (const auto& filter : filters) {
    strong |= filter->Is<CStrongCryptFilter>();
    simple |= filter->Is<CSimpleCryptFilter>() || filter->Is<CDumbCryptFilter>();
  }
  return simple && strong;
}

}  // namespace

std::span<const CStoredClass> CPointerRecord::StoredTransforms() { return kTransforms; }

CPointerRecord::CPointerRecord() = default;

CPointerRecord::~CPointerRecord() { DeleteFilters(m_filters); }

void CPointerRecord::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive.Write(kMagic, sizeof kMagic);
    archive << m_size;
    archive << std::string_view(m_url);
    archive.WriteCount(static_cast<uint32_t>(m_filters.size()));
    for (const auto& filter : m_filters) archive.WriteObject(*filter, kTransforms);
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
    const std::span<const CStoredClass> allowed = std::span(kTransforms).subspan(next);
    std::unique_ptr<CObject> object = archive.ReadNewObject(allowed);
    next = static_cast<size_t>(CStoredClass::Of(*object, kTransforms) - kTransforms.data()) + 1;
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

std::string CPointerRecord::GetEncryptionDescription() const {
  if (const CFilter* filter = FindFilter<CStrongCryptFilter>()) return filter->GetDescription();
  if (const CFilter* filter = FindFilter<CSimpleCryptFilter>()) return filter->GetDescription();
  return "None";
}

std::string CPointerRecord::GetCompressionDescription() const {
  if (const CFilter* filter = FindFilter<CLZCompressFilter>()) return filter->GetDescription();
  if (m_size != 0) return "None: " + std::to_string(m_size) + " bytes";
  return "None";
}

std::string CPointerRecord::DecodingFailureDetail(uint32_t code) {
  if (code != ERROR_INVALID_DATA || !FindFilter<CStrongCryptFilter>()) return "";
  return "It was damaged or altered in transit: its Strong encryption does not authenticate it.";
}

void CPointerRecord::AddFilter(std::unique_ptr<CFilter> filter) {
  m_filters.push_back(std::move(filter));
}

void CPointerRecord::DeleteFilters(FilterList& list) {
  list.clear();
  list.shrink_to_fit();
}
