// Sending: encoding a file into the published directory and writing the
// pointer file that refers to it.

#include <sys/stat.h>
#include <unistd.h>

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

bool CPointerDoc::Send(const std::string& pointerFile, const std::string& source,
                       const std::string& urlRoot, const std::string& fileRoot) {
  const std::unique_ptr<CPublishRoot> root = CPublishRoot::Open(fileRoot, m_errorDetail);
  if (!root) {
    m_error = GetLastError();
    return false;
  }
  return Send(pointerFile, source, urlRoot, *root);
}

bool CPointerDoc::Send(const std::string& pointerFile, const std::string& source,
                       const std::string& urlRoot, CPublishRoot& root) {
  m_errorDetail.clear();
  m_leftOver.clear();
  // Writing the pointer file over the file being sent would destroy it.
  if (SameFile(pointerFile, source)) {
    m_error = ERROR_INVALID_PARAMETER;
    return false;
  }
  CProgress* progress = CProgress::Current();
  if (progress) {
    struct stat st;
    progress->Begin(ProgressStage::Sending, stat(source.c_str(), &st) == 0 ? st.st_size : -1);
  }
  std::string name;
  if (!Publish(source, root, name) && !PublishUncompressed(source, root, name)) return false;
  SetUrl(urlRoot + name);
  if (WriteToFile(pointerFile)) return true;
  // Without its pointer file nobody can find the published file: it goes.
  if (!root.Remove(name)) {
    m_leftOver = {name};
    m_errorDetail = root.Error() + kLeftOverNote;
  }
  return false;
}

bool CPointerDoc::Publish(const std::string& source, CPublishRoot& root, std::string& name) {
  const auto [base, extension] = SplitName(source);
  std::unique_ptr<CPublishUpload> upload = CreateUniqueUpload(root, base, extension, m_avoid);
  if (!upload) return Fail(root.Code(), root.Error());
  if (m_onCreated) m_onCreated(upload->WorkName());
  CUploadSinkFilter sink(*upload);
  const bool encoded = GetFilters().empty() ? RunCopy(source, sink) : RunEncoding(source, sink);
  const bool ran = encoded && !Cancelled() && upload->Finish();
  // A send stopped even after the last block must not publish its file.
  const bool cancelled = Cancelled();
  DetachSources();
  if (ran && !cancelled) {
    name = upload->Name();
    m_publishedSize = sink.ByteCount();
    return true;
  }
  if (ran) {
    // Finished, then stopped: the published file goes like a partial one.
    if (!root.Remove(upload->Name())) {
      m_leftOver = {upload->Name()};
      m_errorDetail = root.Error() + kLeftOverNote;
    }
    return false;
  }
  // Nothing may stay: the claim, the part already sent.
  const uint32_t code = upload->Code();
  const bool removed = upload->Abort();
  if (!cancelled && code != 0) m_error = code;
  m_errorDetail = upload->Error();
  if (!removed) {
    m_leftOver = {upload->WorkName()};
    m_errorDetail += kLeftOverNote;
  }
  return false;
}

// Compression stopped because it grew the file, and the attempt left
// nothing: the file goes as it is, and the pointer file lists only the
// transforms applied.
bool CPointerDoc::PublishUncompressed(const std::string& source, CPublishRoot& root,
                                      std::string& name) {
  if (!m_compressionGrew || !m_leftOver.empty() || Cancelled()) return false;
  std::erase_if(Filters(), [](const std::unique_ptr<CFilter>& filter) {
    return filter->Is<CLZCompressFilter>();
  });
  m_error = 0;
  m_errorDetail.clear();
  if (CProgress* progress = CProgress::Current()) {
    progress->Begin(ProgressStage::Sending, progress->Total());
  }
  return Publish(source, root, name);
}

bool CPointerDoc::Fail(uint32_t code, const std::string& detail) {
  m_error = code;
  m_errorDetail = detail;
  return false;
}

bool CPointerDoc::RunCopy(const std::string& source, CUploadSinkFilter& sink) {
  CFileHandle file;
  if (!file.OpenForReading(source, FileShare::Read)) return RecordError();
  CProgress* progress = CProgress::Current();
  uint64_t total = 0;
  size_t copied = 1;
  while (copied != 0) {
    if (Cancelled()) return false;
    if (!sink.CopyFrom(file, kCopyBlock, copied)) return RecordError();
    total += copied;
    if (progress) progress->Count(&file, copied);
  }
  SetSize(static_cast<uint32_t>(total));
  return true;
}

bool CPointerDoc::RunEncoding(const std::string& source, CFilter& sink) {
  FilterList stages;
  std::unique_ptr<CGrowthLimitFilter> limit;
  CWriteBehindFilter behind(&sink);
  CFilter* head = &behind;
  for (auto it = GetFilters().rbegin(); it != GetFilters().rend(); ++it) {
    CFilter* filter = it->get();
    filter->Reset();
    filter->SetEncode();
    if (filter->Is<CLZCompressFilter>()) {
      limit = std::make_unique<CGrowthLimitFilter>(*static_cast<CHandleFilter*>(filter), head);
      head = limit.get();
    }
    filter->SetNext(head);
    head = filter;
    if (filter->IsSource() && filter != GetFilters().front().get() && !InsertTempStage(head, stages)) {
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
  SetSize(static_cast<uint32_t>(reader->GetByteCount()));
  m_compressionGrew = limit && limit->Exceeded();
  if (m_compressionGrew) return false;
  return ok || RecordError();
}
