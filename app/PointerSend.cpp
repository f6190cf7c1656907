#include <sys/stat.h>
#include <unistd.h>

#include "app/PointerSend.h"

#include "app/PointerDoc.h"
#include "app/UniqueFile.h"
#include "app/UploadSinkFilter.h"
#include "pipeline/GrowthLimitFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/Progress.h"
#include "pipeline/ReadAheadSourceFilter.h"
#include "pipeline/SourceFilter.h"
#include "pipeline/WriteBehindFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

// What a send without a transform copies between two looks at a cancel.
constexpr size_t kCopyBlock = 4 * CFilter::kBlockSize;

// Said of what a failed send had to leave on a server (the publisher
// records it for removal).
constexpr char kLeftOverNote[] =
    " It is removed before the next send to this FileRoot, or by quiver --expire.";

// The base and the extension (with its ".") of the last component of `path`.
std::pair<std::string, std::string> SplitName(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string component = slash == std::string::npos ? path : path.substr(slash + 1);
  const size_t dot = component.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : component.substr(dot);
  return {component.substr(0, component.size() - extension.size()), extension};
}

}  // namespace

CPointerSend::CPointerSend(CPointerDoc& doc, CPublishRoot& root, CreatedHook created,
                           AvoidHook avoid)
    : m_doc(doc), m_root(root), m_created(std::move(created)), m_avoid(std::move(avoid)) {}

bool CPointerSend::Run(const std::string& pointerFile, const std::string& source,
                       const std::string& urlRoot) {
  // Writing the pointer file over the file being sent would destroy it.
  if (SameFile(pointerFile, source)) return m_doc.Fail(ERROR_INVALID_PARAMETER, "");
  CProgress* progress = CProgress::Current();
  if (progress) {
    struct stat st;
    progress->Begin(ProgressStage::Sending, stat(source.c_str(), &st) == 0 ? st.st_size : -1);
  }
  std::string name;
  if (!Publish(source, name) && !PublishUncompressed(source, name)) return false;
  m_doc.SetUrl(urlRoot + name);
  if (m_doc.WriteToFile(pointerFile)) return true;
  // Without its pointer file nobody can find the published file: it goes.
  Withdraw(name);
  return false;
}

bool CPointerSend::Publish(const std::string& source, std::string& name) {
  const auto [base, extension] = SplitName(source);
  std::unique_ptr<CPublishUpload> upload = CreateUniqueUpload(m_root, base, extension, m_avoid);
  if (!upload) return m_doc.Fail(m_root.Code(), m_root.Error());
  if (m_created) m_created(upload->WorkName());
  CUploadSinkFilter sink(*upload);
  const bool encoded =
      m_doc.GetFilters().empty() ? RunCopy(source, sink) : RunEncoding(source, sink);
  const bool ran = encoded && !m_doc.Cancelled() && upload->Finish();
  // A send stopped even after the last block must not publish its file.
  const bool cancelled = m_doc.Cancelled();
  m_doc.DetachSources();
  if (ran && !cancelled) {
    name = upload->Name();
    m_publishedSize = sink.ByteCount();
    return true;
  }
  if (ran) {
    // Finished, then stopped: the published file goes like a partial one.
    Withdraw(upload->Name());
    return false;
  }
  // Nothing may stay: the claim, the part already sent.
  const uint32_t code = upload->Code();
  const bool removed = upload->Abort();
  if (!removed) m_leftOver = {upload->WorkName()};
  return m_doc.Fail(!cancelled && code != 0 ? code : m_doc.GetError(),
                    upload->Error() + (removed ? "" : kLeftOverNote));
}

bool CPointerSend::PublishUncompressed(const std::string& source, std::string& name) {
  if (!m_compressionGrew || !m_leftOver.empty() || m_doc.Cancelled()) return false;
  m_doc.DropCompression();
  m_doc.ClearError();
  if (CProgress* progress = CProgress::Current()) {
    progress->Begin(ProgressStage::Sending, progress->Total());
  }
  return Publish(source, name);
}

void CPointerSend::Withdraw(const std::string& name) {
  if (m_root.Remove(name)) return;
  m_leftOver = {name};
  m_doc.Fail(m_doc.GetError(), m_root.Error() + kLeftOverNote);
}

bool CPointerSend::RunCopy(const std::string& source, CUploadSinkFilter& sink) {
  CFileHandle file;
  if (!file.OpenForReading(source, FileShare::Read)) return m_doc.RecordError();
  CProgress* progress = CProgress::Current();
  uint64_t total = 0;
  size_t copied = 1;
  while (copied != 0) {
    if (m_doc.Cancelled()) return false;
    if (!sink.CopyFrom(file, kCopyBlock, copied)) return m_doc.RecordError();
    total += copied;
    if (progress) progress->Count(&file, copied);
  }
  m_doc.SetSize(static_cast<uint32_t>(total));
  return true;
}

bool CPointerSend::RunEncoding(const std::string& source, CFilter& sink) {
  std::unique_ptr<CGrowthLimitFilter> limit;
  CWriteBehindFilter behind(&sink);
  // Gone first: their threads write into the filters above.
  CPointerDoc::FilterList stages;
  CFilter* head = &behind;
  const CPointerDoc::FilterList& filters = m_doc.GetFilters();
  for (auto it = filters.rbegin(); it != filters.rend(); ++it) {
    CFilter* filter = it->get();
    filter->Reset();
    filter->SetEncode();
    if (filter->Is<CLZCompressFilter>()) {
      limit = std::make_unique<CGrowthLimitFilter>(*static_cast<CHandleFilter*>(filter), head);
      head = limit.get();
    }
    filter->SetNext(head);
    head = filter;
    if (filter->IsSource() && filter != filters.front().get() &&
        !m_doc.InsertTempStage(head, stages)) {
      return false;
    }
  }
  std::unique_ptr<CSourceFilter> plain;
  CSourceFilter* reader = nullptr;
  if (head->IsSource()) {
    reader = static_cast<CSourceFilter*>(head);
  } else {
    plain = std::make_unique<CReadAheadSourceFilter>(head);
    reader = plain.get();
  }
  const bool ok = reader->Open(source) && reader->Run();
  m_doc.SetSize(static_cast<uint32_t>(reader->GetByteCount()));
  m_compressionGrew = limit && limit->Exceeded();
  if (m_compressionGrew) return false;
  return ok || m_doc.RecordError();
}
