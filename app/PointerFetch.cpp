#include "app/PointerFetch.h"

#include "app/PointerDoc.h"
#include "app/UniqueFile.h"
#include "app/UrlDoc.h"
#include "pipeline/ArrivingFile.h"
#include "pipeline/Progress.h"
#include "pipeline/ReadingThread.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/SourceFilter.h"
#include "pipeline/WriteBehindFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"

#include <cerrno>
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

// After a successful fetch: the local file's name and size.
CStatus FetchedFile(CUrlDoc& urlDoc, std::string& name, uint64_t& size) {
  if (!urlDoc.GetLocalName(name, nullptr)) return CStatus::FromLastError();
  if (SizeOf(name, size)) return CStatus();
  SetLastErrorFromErrno(errno);
  return CStatus::FromLastError();
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
  const std::string target = url.substr(0, url.find('#'));
  CUrlDoc urlDoc(1);
  if (!m_doc.GetFilters().empty()) return FetchDecoding(urlDoc, target, base, extension, path);
  return Fetch(urlDoc, target) && KeepFetched(urlDoc, extension, path);
}

bool CPointerFetch::Fetch(CUrlDoc& urlDoc, const std::string& url) {
  if (!urlDoc.SetUrl(url)) {
    if (m_doc.Cancelled()) return false;
    return m_doc.Fail(CStatus::FromLastError(urlDoc.GetCause()));
  }
  m_doc.ClearError();
  return true;
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

bool CPointerFetch::FetchDecoding(CUrlDoc& urlDoc, const std::string& url, const std::string& base,
                                  const std::string& extension, std::string& path) {
  auto output = std::make_unique<CFileHandle>();
  if (!CreateTempFile(base, extension, *output, path, false)) return m_doc.RecordError();
  m_doc.ClearError();
  CArrivingFile arrival;
  bool decoded = false;
  // Until the decoding ends, only its thread touches the document.
  CReadingThread decoding(arrival, [&] { decoded = RunDecoding(arrival, std::move(output)); });
  urlDoc.Follow(&arrival);
  std::string name;
  uint64_t size = 0;
  const CStatus fetched = urlDoc.SetUrl(url) ? FetchedFile(urlDoc, name, size)
                                             : CStatus::FromLastError(urlDoc.GetCause());
  if (CProgress* progress = CProgress::Current(); progress && fetched.Ok()) {
    progress->Begin(ProgressStage::Decoding, static_cast<int64_t>(size));
    progress->Set(static_cast<int64_t>(arrival.Taken()), static_cast<int64_t>(size));
  }
  decoding.Finish(name, fetched.Ok() ? static_cast<int64_t>(size) : -1);
  // A decoding that failed stopped the fetch and says why.
  if (!fetched.Ok() && !arrival.GivenUp() && !m_doc.Cancelled()) m_doc.Fail(fetched);
  // A body that started over after the decoding had begun is decoded whole.
  if (fetched.Ok() && !decoded && arrival.Abandoned()) decoded = DecodeAgain(name, size, path);
  const bool ok = fetched.Ok() && !m_doc.Cancelled() && decoded;
  m_doc.DetachSources();
  if (!ok) unlink(path.c_str());
  return ok;
}

bool CPointerFetch::DecodeAgain(const std::string& name, uint64_t size, const std::string& path) {
  m_doc.DetachSources();
  m_doc.ClearError();
  CArrivingFile whole;
  whole.Complete(name, size);
  auto output = std::make_unique<CFileHandle>();
  if (!output->CreateAlways(path, FileShare::ReadWrite, 0600)) return m_doc.RecordError();
  return RunDecoding(whole, std::move(output));
}

bool CPointerFetch::RunDecoding(CArrivingFile& arrival, std::unique_ptr<CFileHandle> output) {
  CFileHandle* const decoded = output.get();
  CSinkFilter sink(std::move(output));
  // Gone before the sink, which its thread writes into, and after the
  // stages, whose threads write into it.
  CWriteBehindFilter behind(&sink);
  CPointerDoc::FilterList stages;

  CFilter* head = &behind;
  const CPointerDoc::FilterList& filters = m_doc.GetFilters();
  for (const auto& filter : filters) {
    filter->Reset();
    filter->SetDecode();
    filter->SetNext(head);
    head = filter.get();
    // The first step reads the fetched file itself; a later one reads what
    // the steps before it write into a stage, as they write it.
    const bool first = &filter == &filters.back();
    if (filter->IsSource() && !first && !m_doc.InsertTempStage(head, stages)) return false;
  }
  // A first step that takes its input as writes gets a plain reader.
  CSourceFilter pusher(head);
  auto* reader = head->IsSource() ? static_cast<CSourceFilter*>(head) : &pusher;
  bool ok = arrival.Await() != CArrivingFile::State::kVoid && reader->Open(arrival.Name());
  if (ok) {
    reader->Follow(&arrival);
    ok = reader->Run();
    reader->Follow(nullptr);
  }
  if (!ok) {
    if (arrival.Abandoned()) return false;
    arrival.GiveUp();
    return m_doc.Fail(CStatus::FromLastError(m_doc.DecodingFailureDetail(GetLastError())));
  }
  if (static_cast<uint32_t>(sink.GetByteCount()) != m_doc.GetSize()) {
    return m_doc.Fail(ERROR_INVALID_DATA, CPointerDoc::kChangedSizeDetail);
  }
  // A delayed write error shows only at the close.
  if (!decoded->Close()) return m_doc.RecordError();
  return true;
}
