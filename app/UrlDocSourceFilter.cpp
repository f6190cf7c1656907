#include "app/UrlDocSourceFilter.h"

#include "app/UrlDoc.h"

CUrlDocSourceFilter::CUrlDocSourceFilter(CFilter* next, CUrlDoc* document) : CSourceFilter(next) {
  SetUrlDoc(document);
}

CUrlDocSourceFilter::~CUrlDocSourceFilter() = default;

bool CUrlDocSourceFilter::SetUrlDoc(CUrlDoc* document) {
  m_urlDoc = document;
  std::string path;
  return m_urlDoc && m_urlDoc->GetLocalName(path, nullptr) && Open(path);
}
