#pragma once
// One fetch of a pointer document: fetches its URL and decodes what came
// into a new file in the temporary directory. Failures are recorded in the
// document (CPointerDoc::GetError and GetErrorDetail); nothing is left
// behind on failure.

#include <memory>
#include <string>

class CFileHandle;
class CPointerDoc;
class CUrlDoc;

class CPointerFetch {
 public:
  explicit CPointerFetch(CPointerDoc& doc) : m_doc(doc) {}

  // See CPointerDoc::FetchToTempFile.
  bool Run(std::string& path);

 private:
  // Without a transform the fetched file itself, moved to `extension`,
  // becomes `path` once its size is checked.
  bool KeepFetched(CUrlDoc& urlDoc, const std::string& extension, std::string& path);
  // With transforms a new temporary file named after `base` and `extension`
  // receives the decoded bytes.
  bool DecodeFetched(CUrlDoc& urlDoc, const std::string& base, const std::string& extension,
                     std::string& path);
  bool RunDecoding(CUrlDoc& urlDoc, std::unique_ptr<CFileHandle> output);

  CPointerDoc& m_doc;
};
