#include "pipeline/DumbCryptFilter.h"

#include "framework/Archive.h"
#include "pipeline/SecureRandom.h"

constinit const CRuntimeClass CDumbCryptFilter::RuntimeClass = {
    "CDumbCryptFilter", 1, &CreateDefaultObject<CDumbCryptFilter>, &CBufferFilter::RuntimeClass};

namespace {
[[maybe_unused]] const bool registered = CRuntimeClass::Register(CDumbCryptFilter::RuntimeClass);
}  // namespace

CDumbCryptFilter::CDumbCryptFilter(CFilter* next, int32_t capacity)
    : CBufferFilter(next, capacity) {
  FillSecureRandom(&m_keyByte, 1);
}

const CRuntimeClass& CDumbCryptFilter::GetRuntimeClass() const { return RuntimeClass; }

CDumbCryptFilter::~CDumbCryptFilter() = default;

void CDumbCryptFilter::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive << m_keyByte;
  } else {
    archive >> m_keyByte;
  }
}

bool CDumbCryptFilter::Write(const uint8_t* bytes, size_t length) {
  return WriteEach<CDumbCryptFilter>(bytes, length);
}
