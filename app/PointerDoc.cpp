#include "app/PointerDoc.h"

#include "app/PointerFetch.h"
#include "app/Settings.h"
#include "app/UniqueFile.h"
#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/Progress.h"
#include "pipeline/SecureRandom.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/SourceFilter.h"
#include "pipeline/StageFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Writing through a link would overwrite whatever it points to, and a pipe
// or a device would hand the key to whoever reads it: only a regular file,
// or nothing, may stand at a pointer file's name.
bool MayTakeName(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) == 0) {
    if (S_ISREG(st.st_mode)) return true;
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (errno == ENOENT) return true;
  SetLastErrorFromErrno(errno, true);
  return false;
}

// A pointer file is written under a hidden name beside its own and renamed
// onto it once complete, so that no reader ever sees a torn one and the name
// is never opened: what stands there is replaced, not written through. A
// draft that is not renamed is removed.
class CPointerFileDraft {
 public:
  CPointerFileDraft() = default;
  CPointerFileDraft(const CPointerFileDraft&) = delete;
  CPointerFileDraft& operator=(const CPointerFileDraft&) = delete;
  ~CPointerFileDraft() {
    if (!m_path.empty()) unlink(m_path.c_str());
  }

  // A random name, so that nobody can put a link there ahead of us.
  bool Create(const std::string& target, mode_t mode) {
    uint8_t random[8];
    FillSecureRandom(random, sizeof random);
    const size_t slash = target.rfind('/');
    std::string path =
        (slash == std::string::npos ? "" : target.substr(0, slash + 1)) + ".quiver-pointer-";
    for (const uint8_t byte : random) {
      path += "0123456789abcdef"[byte >> 4];
      path += "0123456789abcdef"[byte & 15];
    }
    if (!m_file.CreateNew(path, FileShare::None, false, mode)) return false;
    m_path = std::move(path);
    return true;
  }

  CFileHandle& File() { return m_file; }

  // The rename must not reach the disk before the bytes it names, and a
  // close that reports a delayed write error leaves the name alone.
  bool Replace(const std::string& target) {
    if (fsync(m_file.Descriptor()) != 0) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    if (!m_file.Close()) return false;
    if (rename(m_path.c_str(), target.c_str()) != 0) {
      SetLastErrorFromErrno(errno, true);
      return false;
    }
    m_path.clear();
    return true;
  }

 private:
  CFileHandle m_file;
  std::string m_path;
};

}  // namespace

CPointerDoc::CPointerDoc() = default;

CPointerDoc::~CPointerDoc() = default;

bool CPointerDoc::WriteToFile(const std::string& path) {
  ClearError();
  if (!MayTakeName(path)) return RecordError();
  // A Strong key makes the pointer file the secret: it is only its owner's
  // from its first byte on.
  const bool secret = FindFilter<CStrongCryptFilter>() != nullptr;
  CPointerFileDraft draft;
  if (!draft.Create(path, secret ? 0600 : 0666)) return RecordError();
  WriteRecord(draft.File());
  if (m_status.Ok() && !draft.Replace(path)) RecordError();
  return m_status.Ok();
}

void CPointerDoc::WriteRecord(CFileHandle& file) {
  try {
    CArchive archive(file, CArchive::Mode::Store);
    Serialize(archive);
    archive.Close();
  } catch (const CArchiveException& e) {
    Fail(e.GetSystemError() ? e.GetSystemError() : ERROR_WRITE_FAULT, "");
  }
}

bool CPointerDoc::ReadFromFile(const std::string& path) {
  ClearError();
  CFileHandle file;
  if (!file.OpenForReading(path, FileShare::None)) {
    DeleteFilters(Filters());
    return RecordError();
  }
  m_status = CStatus(Load(file), "");
  return m_status.Ok();
}

void CPointerDoc::BuildChain(const CSettings& settings) {
  if (settings.compressType == 1) AddFilter(std::make_unique<CLZCompressFilter>());
  if (settings.encryptType == 1) {
    AddFilter(std::make_unique<CSimpleCryptFilter>());
    AddFilter(std::make_unique<CDumbCryptFilter>());
  }
  if (settings.encryptType == 2) AddFilter(std::make_unique<CStrongCryptFilter>());
}

void CPointerDoc::DropCompression() {
  std::erase_if(Filters(), [](const std::unique_ptr<CFilter>& filter) {
    return filter->Is<CLZCompressFilter>();
  });
}

bool CPointerDoc::RecordError() {
  return Fail(CStatus::FromLastError());
}

bool CPointerDoc::Cancelled() {
  const CProgress* progress = CProgress::Current();
  if (!progress || !progress->IsCancelled()) return false;
  Fail(ERROR_CANCELLED, "");
  return true;
}

bool CPointerDoc::InsertTempStage(CFilter*& head, FilterList& stages) {
  auto file = std::make_unique<CFileHandle>();
  std::string path;
  if (!CreateTempFile("ccqSink", ".tmp", *file, path, false)) return RecordError();
  auto stage = CStageFilter::InFrontOf(*static_cast<CSourceFilter*>(head), std::move(file), path);
  if (!stage) return RecordError();
  head = stage.get();
  stages.push_back(std::move(stage));
  return true;
}

void CPointerDoc::DetachSources() {
  for (const auto& filter : GetFilters()) {
    if (filter->IsSource()) static_cast<CHandleFilter*>(filter.get())->Attach(nullptr);
  }
}

bool CPointerDoc::Send(const std::string& pointerFile, const std::string& source,
                       const std::string& urlRoot, const std::string& fileRoot) {
  std::string detail;
  const std::unique_ptr<CPublishRoot> root = CPublishRoot::Open(fileRoot, detail);
  if (!root) return Fail(CStatus::FromLastError(detail));
  return Send(pointerFile, source, urlRoot, *root);
}

bool CPointerDoc::Send(const std::string& pointerFile, const std::string& source,
                       const std::string& urlRoot, CPublishRoot& root) {
  ClearError();
  CPointerSend send(*this, root, m_onCreated, m_avoid);
  const bool sent = send.Run(pointerFile, source, urlRoot);
  if (sent) m_publishedSize = send.PublishedSize();
  m_leftOver = send.LeftOver();
  return sent;
}

bool CPointerDoc::FetchToTempFile(std::string& path) {
  ClearError();
  return CPointerFetch(*this).Run(path);
}
