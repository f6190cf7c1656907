#include "pipeline/SimpleCryptFilter.h"

#include "framework/Archive.h"
#include "pipeline/SecureRandom.h"

constinit const CRuntimeClass CSimpleCryptFilter::RuntimeClass = {
    "CSimpleCryptFilter", 1, &CreateDefaultObject<CSimpleCryptFilter>,
    &CBufferFilter::RuntimeClass};

namespace {
[[maybe_unused]] const bool registered = CRuntimeClass::Register(CSimpleCryptFilter::RuntimeClass);
}  // namespace

CSimpleCryptFilter::CSimpleCryptFilter(CFilter* next, int32_t capacity)
    : CBufferFilter(next, capacity) {
  GenerateKey();
}

const CRuntimeClass& CSimpleCryptFilter::GetRuntimeClass() const { return RuntimeClass; }

CSimpleCryptFilter::~CSimpleCryptFilter() = default;

void CSimpleCryptFilter::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive << m_key;
  } else {
    SetKey(archive.ReadString());
  }
}

bool CSimpleCryptFilter::Write(const uint8_t* bytes, size_t length) {
  return WriteEach<CSimpleCryptFilter>(bytes, length);
}

void CSimpleCryptFilter::Reset() {
  CBufferFilter::Reset();
  m_keyPos = 0;
}

std::string CSimpleCryptFilter::GetDescription() const { return "Simple"; }

void CSimpleCryptFilter::GenerateKey() {
  uint8_t draw;
  FillSecureRandom(&draw, 1);
  std::string key(draw % 10 + 10, '\0');
  FillSecureRandom(key.data(), key.size());
  SetKey(std::move(key));
}

void CSimpleCryptFilter::SetKey(std::string key) {
  m_key = std::move(key);
  m_keyPos = 0;
}
