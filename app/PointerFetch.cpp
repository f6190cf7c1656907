#include "app/PointerFetch.h"

#include "app/PointerDoc.h"
#include "app/UniqueFile.h"
#include "app/UrlDoc.h"
#include "app/UrlDocSourceFilter.h"
#include "pipeline/Progress.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/SourceFilter.h"
#include "pipeline/WriteBehindFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The name a decoded file gets: the last component of the URL's path (the
// URL before any query or fragment), split at its last ".". False when the
// path names no such extension, so that no sound local name follows from it.
bool NameFromUrl(const std::string& full, std::string& base, std::string& extension) {
  const std::string url = full.substr(0, full.find_first_of("?#"));
  const size_t dot = url.rfind('.');
  const size_t slash = url.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  extension = url.substr(dot);
  base = slash == std::string::npos ? "ccQuiver" : url.substr(slash + 1, dot - slash - 1);
  return true;
}

bool SizeOf(const std::string& path, uint64_t& size) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  size = static_cast<uint64_t>(st.st_size);
  return true;
}

}  // namespace

bool CPointerFetch::Run(std::string& path) {
  const std::string url = m_doc.GetUrl();
  if (strncasecmp(url.c_str(), "http://", 7) != 0 &&
      strncasecmp(url.c_str(), "https://", 8) != 0) {
    return m_doc.Fail(ERROR_NOT_SUPPORTED, "Quiver fetches only http:// and https:// addresses.");
  }
  std::string base, extension;
  if (!NameFromUrl(url, base, extension)) {
    return m_doc.Fail(ERROR_BAD_PATHNAME, "");
  }
  if (CProgress* progress = CProgress::Current()) progress->Begin(ProgressStage::Fetching, -1);
  // A fragment belongs to the reader, never to the server.
  CUrlDoc urlDoc(1);
  if (!urlDoc.SetUrl(url.substr(0, url.find('#')))) {
    if (m_doc.Cancelled()) return false;
    return m_doc.Fail(CStatus::FromLastError(urlDoc.GetCause()));
  }
  m_doc.ClearError();
  return m_doc.GetFilters().empty() ? KeepFetched(urlDoc, extension, path)
                              : DecodeFetched(urlDoc, base, extension, path);
}

bool CPointerFetch::KeepFetched(CUrlDoc& urlDoc, const std::string& extension, std::string& path) {
  urlDoc.SetDeleteOnEmpty(0);
  std::string fetched;
  if (!urlDoc.GetLocalName(fetched, extension.c_str())) {
    urlDoc.SetDeleteOnEmpty(1);
    return m_doc.RecordError();
  }
  // A download cut short must never be opened as if it were the file.
  uint64_t size = 0;
  if (!SizeOf(fetched, size) || static_cast<uint32_t>(size) != m_doc.GetSize()) {
    unlink(fetched.c_str());
    return m_doc.Fail(ERROR_INVALID_DATA, CPointerDoc::kChangedSizeDetail);
  }
  if (m_doc.Cancelled()) {
    unlink(fetched.c_str());
    return false;
  }
  path = fetched;
  return true;
}

bool CPointerFetch::DecodeFetched(CUrlDoc& urlDoc, const std::string& base,
                                  const std::string& extension, std::string& path) {
  auto output = std::make_unique<CFileHandle>();
  if (!CreateTempFile(base, extension, *output, path, false)) return m_doc.RecordError();
  if (CProgress* progress = CProgress::Current()) {
    uint64_t size = 0;
    std::string fetched;
    const bool known = urlDoc.GetLocalName(fetched, nullptr) && SizeOf(fetched, size);
    progress->Begin(ProgressStage::Decoding, known ? static_cast<int64_t>(size) : -1);
  }
  const bool ran = RunDecoding(urlDoc, std::move(output));
  const bool ok = !m_doc.Cancelled() && ran;
  m_doc.DetachSources();
  if (!ok) unlink(path.c_str());
  return ok;
}

bool CPointerFetch::RunDecoding(CUrlDoc& urlDoc, std::unique_ptr<CFileHandle> output) {
  CPointerDoc::FilterList stages;
  CFileHandle* const decoded = output.get();
  auto finalSink = std::make_unique<CSinkFilter>(std::move(output));
  CSinkFilter* sink = finalSink.get();
  stages.push_back(std::move(finalSink));
  // Gone before the stages: its thread writes into the sink.
  CWriteBehindFilter behind(sink);

  CFilter* head = &behind;
  const CPointerDoc::FilterList& filters = m_doc.GetFilters();
  for (const auto& filter : filters) {
    filter->Reset();
    filter->SetDecode();
    filter->SetNext(head);
    head = filter.get();
    // The first step reads the fetched file itself; a later one reads what
    // the steps before it wrote into a stage.
    const bool first = &filter == &filters.back();
    if (filter->IsSource() && !first && !m_doc.InsertTempStage(head, stages)) return false;
  }
  bool ok;
  if (head->IsSource()) {
    std::string fetched;
    auto* reader = static_cast<CSourceFilter*>(head);
    ok = urlDoc.GetLocalName(fetched, nullptr) && reader->Open(fetched) && reader->Run();
  } else {
    CUrlDocSourceFilter source(head, &urlDoc);
    ok = source.Run();
  }
  if (!ok) {
    return m_doc.Fail(CStatus::FromLastError(m_doc.DecodingFailureDetail(GetLastError())));
  }
  if (static_cast<uint32_t>(sink->GetByteCount()) != m_doc.GetSize()) {
    return m_doc.Fail(ERROR_INVALID_DATA, CPointerDoc::kChangedSizeDetail);
  }
  // A delayed write error shows only at the close.
  if (!decoded->Close()) return m_doc.RecordError();
  return true;
}
