#pragma once
// The pointer document: the record of a published file
// (pipeline/PointerRecord.h) with what the program does with it, sending,
// fetching and writing its file, and the system error code of the last
// failed operation.
//
// Operations return true for success; on failure GetError() tells why.

#include "pipeline/PointerRecord.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CFileHandle;
class CPublishRoot;
class CSettings;
class CUrlDoc;
class CUploadSinkFilter;

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
  void OnCreated(std::function<void(const std::string& workName)> created) {
    m_onCreated = std::move(created);
  }
  // Names that `avoid` says true of are never given to the published file.
  void AvoidNames(std::function<bool(const std::string& name)> avoid) {
    m_avoid = std::move(avoid);
  }
  // Fetches the URL and decodes it into a new file in the temporary
  // directory named after the URL; `path` receives that file, which the
  // caller then owns. Nothing is left behind on failure.
  bool FetchToTempFile(std::string& path);
  // Replaces URL, size and filters by those of a pointer file. A damaged
  // file gives error 13 and the URL "Bad File Format!".
  bool ReadFromFile(const std::string& path);
  // Appends the filters that the settings' type codes select.
  void BuildChain(const CSettings& settings);
  uint32_t GetError() const { return m_error; }
  // A sentence that explains GetError() beyond the system's message (what
  // a server answered, say); empty when there is nothing to add.
  const std::string& GetErrorDetail() const { return m_errorDetail; }
  // Records a failure of the work around a send (its root cannot be
  // reached, say) as this document's; returns false.
  bool Fail(uint32_t code, const std::string& detail);
  // Writes the record to a new file beside `path` and renames it onto
  // `path`, replacing a regular file there; a symbolic link, a pipe, a
  // device or a directory at `path` is refused with ERROR_ACCESS_DENIED.
  // Error 29 when writing fails part way; a failure leaves no new file. A
  // file holding a Strong key gets mode 0600, others 0666 less the umask.
  bool WriteToFile(const std::string& path);
  // Stores the thread's last error (31 when none is pending); returns false.
  bool RecordError();
  // Puts a delete-on-close temporary file in front of the source `head`: a
  // sink writing the file becomes the new head, and the source reads it back.
  bool InsertTempStage(CFilter*& head, FilterList& stages);

  // The bytes of the published file after the last successful encoding.
  uint64_t GetPublishedSize() const { return m_publishedSize; }
  // The names of what a failed remote send had to leave on the server.
  const std::vector<std::string>& GetLeftOver() const { return m_leftOver; }

 private:
  // True, with the error ERROR_CANCELLED recorded, when the thread's
  // progress was cancelled.
  bool Cancelled();
  // After a fetch: without a transform the fetched file itself, moved to
  // `extension`, becomes `path` once its size is checked; with transforms a
  // new temporary file named after `base` and `extension` receives the
  // decoded bytes. Nothing is left on failure.
  bool KeepFetched(CUrlDoc& urlDoc, const std::string& extension, std::string& path);
  bool DecodeFetched(CUrlDoc& urlDoc, const std::string& base, const std::string& extension,
                     std::string& path);
  bool RunDecoding(CUrlDoc& urlDoc, std::unique_ptr<CFileHandle> output);
  // Sources close what they read and forget stage files once a run is over.
  void DetachSources();
  // Runs the chain from `source` into `sink`; sets the size.
  bool RunEncoding(const std::string& source, CFilter& sink);
  // Without a transform: `sink`'s upload copies `source` itself, block by
  // block, so that a cancel is seen between two; sets the size.
  bool RunCopy(const std::string& source, CUploadSinkFilter& sink);
  // Encodes `source` into a new file of `root` named after it and returns
  // its name; sets the sizes. Leaves nothing in the root on failure.
  bool Publish(const std::string& source, CPublishRoot& root, std::string& name);
  bool PublishUncompressed(const std::string& source, CPublishRoot& root, std::string& name);
  // Writes the record into `file`; sets the error when that fails.
  void WriteRecord(CFileHandle& file);

  uint32_t m_error = 0;
  std::string m_errorDetail;
  uint64_t m_publishedSize = 0;
  // The last encoding stopped because compression grew the file.
  bool m_compressionGrew = false;
  std::vector<std::string> m_leftOver;
  std::function<void(const std::string&)> m_onCreated;
  std::function<bool(const std::string&)> m_avoid;
};
