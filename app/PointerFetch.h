#pragma once
// One fetch of a pointer document: fetches its URL and decodes what came
// into a new file in the temporary directory. With transforms to undo, the
// decoding runs on a second thread and reads the body while it arrives; a
// body that starts over is decoded again once it is whole, and a decoding
// that fails stops the fetch. Failures are recorded in the document
// (CPointerDoc::GetError and GetErrorDetail); nothing is left behind on
// failure.

#include <cstdint>
#include <memory>
#include <string>

class CArrivingFile;
class CFileHandle;
class CPointerDoc;
class CUrlDoc;

class CPointerFetch {
 public:
  explicit CPointerFetch(CPointerDoc& doc) : m_doc(doc) {}

  // See CPointerDoc::FetchToTempFile.
  bool Run(std::string& path);

 private:
  // Fetches url into urlDoc; false, with the failure recorded, when that
  // failed or was cancelled.
  bool Fetch(CUrlDoc& urlDoc, const std::string& url);
  // Without a transform the fetched file itself, moved to `extension`,
  // becomes `path` once its size is checked.
  bool KeepFetched(CUrlDoc& urlDoc, const std::string& extension, std::string& path);
  // With transforms a new temporary file named after `base` and `extension`
  // receives the decoded bytes while url is fetched.
  bool FetchDecoding(CUrlDoc& urlDoc, const std::string& url, const std::string& base,
                     const std::string& extension, std::string& path);
  // Decodes the whole file `name` of `size` bytes again into `path`.
  bool DecodeAgain(const std::string& name, uint64_t size, const std::string& path);
  // Decodes `arrival` into `output` through the document's transforms.
  // Touches the document only from the thread it runs on.
  bool RunDecoding(CArrivingFile& arrival, std::unique_ptr<CFileHandle> output);

  CPointerDoc& m_doc;
};
