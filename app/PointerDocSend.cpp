// Sending: encoding a file into the published directory and writing the
// pointer file that refers to it.

#include <sys/stat.h>
#include <unistd.h>

#include "app/PointerDoc.h"
#include "app/UniqueFile.h"
#include "app/UploadSinkFilter.h"
#include "pipeline/Progress.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/SourceFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "remote/RemoteRoot.h"

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

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
  m_errorDetail.clear();
  m_leftOver.clear();
  std::string name;
  const bool encoded = RemoteAddress::IsRemote(fileRoot) ? EncodeRemote(source, name, fileRoot)
                                                         : Encode(source, name, fileRoot);
  if (!encoded) return false;
  m_url = urlRoot + name;
  return WriteToFile(pointerFile);
}

bool CPointerDoc::CreateOutputFile(const std::string& source, std::string& name,
                                   const std::string& directory, CFileHandle& handle) {
  const auto [base, extension] = SplitName(source);
  if (!CreateUniqueFile(directory, base, extension, FileShare::None, {false, 0666}, handle, name)) {
    return RecordError();
  }
  return true;
}

bool CPointerDoc::Encode(const std::string& source, std::string& name,
                         const std::string& directory) {
  CFileHandle output;
  if (!CreateOutputFile(source, name, directory, output)) return false;
  const std::string path = output.Path();
  CSinkFilter sink(output);
  // Network file systems report delayed write errors only when the file is
  // closed: the file is not published before its close has succeeded.
  bool ran = RunEncoding(source, sink);
  if (ran && !output.Close()) ran = RecordError();
  // A send stopped even after the last block must not publish its file.
  const bool ok = !Cancelled() && ran;
  if (ok) m_publishedSize = sink.GetByteCount();
  DetachSources();
  // No partly written file may stay in the published directory.
  if (!ok) unlink(path.c_str());
  return ok;
}

void CPointerDoc::SetRemoteRoot(std::unique_ptr<CRemoteRoot> root) {
  m_remoteRoot = std::move(root);
}

bool CPointerDoc::EncodeRemote(const std::string& source, std::string& name,
                               const std::string& fileRoot) {
  std::unique_ptr<CRemoteRoot> root = std::move(m_remoteRoot);
  if (!root && !(root = CRemoteRoot::Open(fileRoot, m_errorDetail))) {
    m_error = ERROR_BAD_PATHNAME;
    return false;
  }
  const auto [base, extension] = SplitName(source);
  std::unique_ptr<CRemoteUpload> upload = CreateUniqueUpload(*root, base, extension);
  if (!upload) {
    m_error = root->Code();
    m_errorDetail = root->Error();
    return false;
  }
  CUploadSinkFilter sink(*upload);
  const bool ran = RunEncoding(source, sink) && !Cancelled() && upload->Finish();
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
    if (!root->Remove(upload->Name())) {
      m_leftOver = {upload->Name()};
      m_errorDetail = root->Error() + kLeftOverNote;
    }
    return false;
  }
  // Nothing may stay under the name: the claim or the part already sent.
  const uint32_t code = upload->Code();
  const bool removed = upload->Abort();
  if (!cancelled && code != 0) m_error = code;
  m_errorDetail = upload->Error();
  if (!removed) {
    m_leftOver = upload->LeftOver();
    m_errorDetail += kLeftOverNote;
  }
  return false;
}

bool CPointerDoc::RunEncoding(const std::string& source, CFilter& sink) {
  FilterList stages;
  CFilter* head = &sink;
  for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it) {
    CFilter* filter = it->get();
    filter->Reset();
    filter->SetEncode();
    filter->SetNext(head);
    head = filter;
    if (filter->IsSource() && filter != m_filters.front().get() && !InsertTempStage(head, stages)) {
      return false;
    }
  }
  std::unique_ptr<CSourceFilter> plain;
  CSourceFilter* reader = nullptr;
  if (head->IsSource()) {
    reader = static_cast<CSourceFilter*>(head);
  } else {
    plain = std::make_unique<CSourceFilter>(head);
    reader = plain.get();
  }
  const bool ok = reader->Open(source) && reader->Run();
  m_size = static_cast<uint32_t>(reader->GetByteCount());
  return ok || RecordError();
}
