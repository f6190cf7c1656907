// Sending: encoding a file into the published directory and writing the
// pointer file that refers to it.

#include "app/PointerDoc.h"

#include "app/UniqueFile.h"
#include "pipeline/SinkFilter.h"
#include "pipeline/SourceFilter.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

}  // namespace

bool CPointerDoc::Send(const std::string& pointerFile, const std::string& source,
                       const std::string& urlRoot, const std::string& fileRoot) {
  // Writing the pointer file over the file being sent would destroy it.
  if (SameFile(pointerFile, source)) {
    m_error = ERROR_INVALID_PARAMETER;
    return false;
  }
  std::string name;
  if (!Encode(source, name, fileRoot)) return false;
  m_url = urlRoot + name;
  return WriteToFile(pointerFile);
}

bool CPointerDoc::CreateOutputFile(const std::string& source, std::string& name,
                                   const std::string& directory, CFileHandle& handle) {
  const size_t slash = source.rfind('/');
  const std::string component = slash == std::string::npos ? source : source.substr(slash + 1);
  const size_t dot = component.rfind('.');
  const std::string extension = dot == std::string::npos ? "" : component.substr(dot);
  const std::string base = component.substr(0, component.size() - extension.size());
  if (!CreateUniqueFile(directory, base, extension, FileShare::None, {false, 0666}, handle, name)) {
    return RecordError();
  }
  return true;
}

bool CPointerDoc::Encode(const std::string& source, std::string& name,
                         const std::string& directory) {
  auto output = std::make_unique<CFileHandle>();
  if (!CreateOutputFile(source, name, directory, *output)) return false;
  const std::string path = output->Path();
  const bool ok = RunEncoding(source, std::move(output));
  DetachSources();
  // No partly written file may stay in the published directory.
  if (!ok) unlink(path.c_str());
  return ok;
}

bool CPointerDoc::RunEncoding(const std::string& source, std::unique_ptr<CFileHandle> output) {
  CFileHandle* const published = output.get();
  CSinkFilter sink(std::move(output));
  FilterList stages;
  CFilter* head = &sink;
  for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it) {
    CFilter* filter = it->get();
    filter->Reset();
    filter->SetEncode();
    filter->SetNext(head);
    head = filter;
    if (filter->IsSource() && filter != m_filters.front().get() &&
        !InsertTempStage(head, stages)) {
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
  // Network file systems report delayed write errors only when the file is
  // closed: the file is not published before its close has succeeded.
  if (!ok || !published->Close()) return RecordError();
  return true;
}
