#pragma once
// The pointer document: the record of a published file
// (pipeline/PointerRecord.h) with its chain, its file and the system error
// code of the last failed operation. Sending and fetching run beside it
// (app/PointerSend.h, app/PointerFetch.h).
//
// Operations return true for success; on failure GetError() tells why.

#include "app/PointerSend.h"
#include "pipeline/PointerRecord.h"
#include "platform/Status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CFileHandle;
class CPublishRoot;
class CSettings;

class CPointerDoc : public CPointerRecord {
 public:
  CPointerDoc();
  ~CPointerDoc() override;

  // Encodes `source` into a new file of `root`, sets the URL to `urlRoot` +
  // the new file's name and writes the pointer file. The pointer file is
  // the last step: a send that fails or stops before it is written leaves
  // nothing in the root; when a failed upload cannot be removed from a
  // server, GetLeftOver() names what stays (a work name for
  // CPublishRoot::Discard, or the published name).
  //
  // Sending and fetching follow the calling thread's progress
  // (pipeline/Progress.h); once it is cancelled they fail with
  // ERROR_CANCELLED and leave nothing behind: no published file, no
  // pointer file, no fetched or decoded file. Virtual so that the send
  // window's tests can watch what the window does around a send.
  virtual bool Send(const std::string& pointerFile, const std::string& source,
                    const std::string& urlRoot, CPublishRoot& root);
  // The same into the root that `fileRoot` names.
  bool Send(const std::string& pointerFile, const std::string& source, const std::string& urlRoot,
            const std::string& fileRoot);
  // Called with the upload's work name (CPublishUpload::WorkName) once the
  // new file is created and before anything is written to it.
  void OnCreated(CPointerSend::CreatedHook created) { m_onCreated = std::move(created); }
  // Names that `avoid` says true of are never given to the published file.
  void AvoidNames(CPointerSend::AvoidHook avoid) { m_avoid = std::move(avoid); }
  // Fetches the URL and decodes it into a new file in the temporary
  // directory named after the URL; `path` receives that file, which the
  // caller then owns. Nothing is left behind on failure.
  bool FetchToTempFile(std::string& path);
  // Replaces URL, size and filters by those of a pointer file. A damaged
  // file gives error 13 and the URL "Bad File Format!".
  bool ReadFromFile(const std::string& path);
  // Appends the filters that the settings' type codes select.
  void BuildChain(const CSettings& settings);
  // Takes LZ out of the chain, for a file that compression would grow.
  void DropCompression();
  // The outcome of the last operation: its code, and a sentence that
  // explains it beyond the system's message (what a server answered, say).
  const CStatus& Status() const { return m_status; }
  uint32_t GetError() const { return m_status.Code(); }
  const std::string& GetErrorDetail() const { return m_status.Error(); }
  // Records a failure (of the work around a send, say) as this document's;
  // returns false.
  bool Fail(const CStatus& status) { return m_status.Fail(status); }
  bool Fail(uint32_t code, const std::string& detail) { return m_status.Fail(code, detail); }
  void ClearError() { m_status = CStatus(); }
  // Writes the record to a new file beside `path` and renames it onto
  // `path`, replacing a regular file there; a symbolic link, a pipe, a
  // device or a directory at `path` is refused with ERROR_ACCESS_DENIED.
  // Error 29 when writing fails part way; a failure leaves no new file. A
  // file holding a Strong key gets mode 0600, others 0666 less the umask.
  bool WriteToFile(const std::string& path);
  // Stores the thread's last error (31 when none is pending); returns false.
  bool RecordError();
  // True, with the error ERROR_CANCELLED recorded, when the thread's
  // progress was cancelled.
  bool Cancelled();
  // Puts a temporary file in front of the source `head`: a stage
  // (pipeline/StageFilter.h) writing the file becomes the new head, and the
  // source reads it on a thread of its own while it is written. The file
  // has no name by then; it goes with the last handle. `stages` owns the
  // stage, which must go before whatever the source writes into.
  bool InsertTempStage(CFilter*& head, FilterList& stages);
  // Sources close what they read and forget stage files once a run is over.
  void DetachSources();

  // The bytes of the published file after the last successful encoding.
  uint64_t GetPublishedSize() const { return m_publishedSize; }
  // The names of what a failed remote send had to leave on the server.
  const std::vector<std::string>& GetLeftOver() const { return m_leftOver; }

 private:
  // Writes the record into `file`; sets the error when that fails.
  void WriteRecord(CFileHandle& file);

  CStatus m_status;
  uint64_t m_publishedSize = 0;
  std::vector<std::string> m_leftOver;
  CPointerSend::CreatedHook m_onCreated;
  CPointerSend::AvoidHook m_avoid;
};
