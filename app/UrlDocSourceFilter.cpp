#include "app/UrlDocSourceFilter.h"

#include "app/UrlDoc.h"

constinit const CRuntimeClass CUrlDocSourceFilter::RuntimeClass = {
    "CUrlDocSourceFilter", 1, &CreateDefaultObject<CUrlDocSourceFilter>,
    &CSourceFilter::RuntimeClass};

namespace {
[[maybe_unused]] const bool registered = CRuntimeClass::Register(CUrlDocSourceFilter::RuntimeClass);
}  // namespace

CUrlDocSourceFilter::CUrlDocSourceFilter(CFilter* next, CUrlDoc* document) : CSourceFilter(next) {
  SetUrlDoc(document);
}

const CRuntimeClass& CUrlDocSourceFilter::GetRuntimeClass() const { return RuntimeClass; }

CUrlDocSourceFilter::~CUrlDocSourceFilter() = default;

bool CUrlDocSourceFilter::SetUrlDoc(CUrlDoc* document) {
  m_urlDoc = document;
  std::string path;
  return m_urlDoc && m_urlDoc->GetLocalName(path, nullptr) && Open(path);
}
