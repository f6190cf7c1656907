#pragma once
// The head of a decoding run: reads the local file into which a URL document
// fetched the published data. The document is not owned and must outlive
// the run.

#include "pipeline/SourceFilter.h"

class CUrlDoc;

class CUrlDocSourceFilter : public CSourceFilter {
 public:
  // Links `next` and opens the document's file; when that fails the source
  // has no handle and its Run fails at the first read with
  // ERROR_INVALID_HANDLE.
  explicit CUrlDocSourceFilter(CFilter* next = nullptr, CUrlDoc* document = nullptr);
  ~CUrlDocSourceFilter() override;

  // Takes `document` and opens its local file for reading; false when the
  // document has no file or it cannot be opened.
  virtual bool SetUrlDoc(CUrlDoc* document);

 private:
  CUrlDoc* m_urlDoc = nullptr;
};
