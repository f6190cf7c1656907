#include "app/PointerDoc.h"

#include "app/Settings.h"
#include "app/UniqueFile.h"
#include "framework/Archive.h"
#include "pipeline/DumbCryptFilter.h"
#include "pipeline/LZCompressFilter.h"
#include "pipeline/Progress.h"
#include "pipeline/SecureRandom.h"
#include "pipeline/SimpleCryptFilter.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint8_t kMagic[4] = {0x05, 0x6C, 0x72, 0x75};
const char* const kBadFormat = "Bad File Format!";

// The transforms in the only order a chain holds them.
const std::array<const CRuntimeClass*, 4> kTransforms = {
    &CLZCompressFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass,
    &CDumbCryptFilter::RuntimeClass, &CStrongCryptFilter::RuntimeClass};

// The encryption types a pointer file may hold: the Simple pair or the
// Strong filter, never both.
bool MixesEncryptions(const CPointerDoc::FilterList& filters) {
  bool simple = false;
  bool strong = false;
  for (const auto& filter : filters) {
    const CRuntimeClass* cls = &filter->GetRuntimeClass();
    strong |= cls == &CStrongCryptFilter::RuntimeClass;
    simple |= cls == &CSimpleCryptFilter::RuntimeClass || cls == &CDumbCryptFilter::RuntimeClass;
  }
  return simple && strong;
}

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

CPointerDoc::~CPointerDoc() { DeleteFilters(m_filters); }

void CPointerDoc::Serialize(CArchive& archive) {
  if (archive.IsStoring()) {
    archive.Write(kMagic, sizeof kMagic);
    archive << m_size;
    archive << std::string_view(m_url);
    archive.WriteCount(static_cast<uint32_t>(m_filters.size()));
    for (const auto& filter : m_filters) archive.WriteObject(filter.get());
    return;
  }
  uint8_t magic[4];
  archive.Read(magic, sizeof magic);
  if (std::memcmp(magic, kMagic, sizeof magic) != 0) {
    throw CArchiveException(CArchiveException::Cause::BadObject);
  }
  archive >> m_size;
  archive >> m_url;
  // A NUL or another control byte would make the name, the fetch and the
  // launch each see a different URL.
  for (const char c : m_url) {
    if (static_cast<unsigned char>(c) < 0x20) {
      throw CArchiveException(CArchiveException::Cause::BadObject);
    }
  }
  LoadFilters(archive);
}

// Each filter must be a transform later in the chain than the one before,
// so a list holds each of them at most once, in encoding order.
void CPointerDoc::LoadFilters(CArchive& archive) {
  const uint32_t count = archive.ReadCount(2);
  size_t next = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (next == kTransforms.size()) throw CArchiveException(CArchiveException::Cause::BadObject);
    std::span<const CRuntimeClass* const> allowed(kTransforms.begin() + next, kTransforms.end());
    std::unique_ptr<CObject> object = archive.ReadNewObject(allowed);
    const CRuntimeClass* cls = &object->GetRuntimeClass();
    while (kTransforms[next] != cls) ++next;
    ++next;
    m_filters.emplace_back(static_cast<CFilter*>(object.release()));
  }
  if (MixesEncryptions(m_filters)) throw CArchiveException(CArchiveException::Cause::BadObject);
}

bool CPointerDoc::WriteToFile(const std::string& path) {
  m_error = 0;
  if (!MayTakeName(path)) return RecordError();
  // A Strong key makes the pointer file the secret: it is only its owner's
  // from its first byte on.
  const bool secret = FindFilter(CStrongCryptFilter::RuntimeClass) != nullptr;
  CPointerFileDraft draft;
  if (!draft.Create(path, secret ? 0600 : 0666)) return RecordError();
  WriteRecord(draft.File());
  if (m_error == 0 && !draft.Replace(path)) RecordError();
  return m_error == 0;
}

void CPointerDoc::WriteRecord(CFileHandle& file) {
  try {
    CArchive archive(file, CArchive::Mode::Store);
    Serialize(archive);
    archive.Close();
  } catch (const CArchiveException& e) {
    m_error = e.GetSystemError() ? e.GetSystemError() : ERROR_WRITE_FAULT;
  }
}

bool CPointerDoc::ReadFromFile(const std::string& path) {
  DeleteFilters(m_filters);
  m_error = 0;
  CFileHandle file;
  if (!file.OpenForReading(path, FileShare::None)) return RecordError();
  try {
    CArchive archive(file, CArchive::Mode::Load);
    Serialize(archive);
  } catch (const CArchiveException& e) {
    DeleteFilters(m_filters);
    if (e.IsFormatError()) {
      m_url = kBadFormat;
      m_error = ERROR_INVALID_DATA;
    } else {
      m_error = e.GetSystemError() ? e.GetSystemError() : ERROR_GEN_FAILURE;
    }
  }
  return m_error == 0;
}

void CPointerDoc::BuildChain(const CSettings& settings) {
  if (settings.CompressType() == 1) AddFilter(std::make_unique<CLZCompressFilter>());
  if (settings.EncryptType() == 1) {
    AddFilter(std::make_unique<CSimpleCryptFilter>());
    AddFilter(std::make_unique<CDumbCryptFilter>());
  }
  if (settings.EncryptType() == 2) AddFilter(std::make_unique<CStrongCryptFilter>());
}

std::string CPointerDoc::GetEncryptionDescription() {
  CFilter* filter =
      FindFirstFilter({&CStrongCryptFilter::RuntimeClass, &CSimpleCryptFilter::RuntimeClass});
  return filter ? filter->GetDescription() : "None";
}

std::string CPointerDoc::GetCompressionDescription() {
  if (CFilter* filter = FindFirstFilter({&CLZCompressFilter::RuntimeClass})) {
    return filter->GetDescription();
  }
  if (m_size != 0) return "None: " + std::to_string(m_size) + " bytes";
  return "None";
}

void CPointerDoc::AddFilter(std::unique_ptr<CFilter> filter) {
  m_filters.push_back(std::move(filter));
}

CFilter* CPointerDoc::FindFilter(const CRuntimeClass& cls) {
  for (const auto& filter : m_filters) {
    if (filter && &filter->GetRuntimeClass() == &cls) return filter.get();
  }
  return nullptr;
}

CFilter* CPointerDoc::FindFirstFilter(std::initializer_list<const CRuntimeClass*> classes) {
  for (const CRuntimeClass* cls : classes) {
    if (CFilter* filter = FindFilter(*cls)) return filter;
  }
  return nullptr;
}

bool CPointerDoc::RecordError() {
  m_error = GetLastError();
  // A failure must never read as success to whoever checks the error.
  if (m_error == 0) m_error = ERROR_GEN_FAILURE;
  return false;
}

bool CPointerDoc::Cancelled() {
  const CProgress* progress = CProgress::Current();
  if (!progress || !progress->IsCancelled()) return false;
  m_error = ERROR_CANCELLED;
  return true;
}

void CPointerDoc::DeleteFilters(FilterList& list) {
  list.clear();
  list.shrink_to_fit();
}

bool CPointerDoc::InsertTempStage(CFilter*& head, FilterList& stages) {
  auto file = std::make_unique<CFileHandle>();
  std::string path;
  if (!CreateTempFile("ccqSink", ".tmp", *file, path, true)) return RecordError();
  static_cast<CHandleFilter*>(head)->Attach(*file);
  auto sink = std::make_unique<CSinkFilter>(std::move(file));
  sink->SetNext(head);
  head = sink.get();
  stages.push_back(std::move(sink));
  return true;
}

void CPointerDoc::DetachSources() {
  for (const auto& filter : m_filters) {
    if (filter->IsSource()) static_cast<CHandleFilter*>(filter.get())->Attach(nullptr);
  }
}
