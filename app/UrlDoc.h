#pragma once
// One remote document fetched through the web access library into a local
// file: the fetch, its failure as a code and a text, the local file's name
// (moved to a wanted extension on request) and, when so set, the removal of
// that file once the document is emptied.
//
// Error codes: 0 none; -1 a fetch while busy; the library's code (1 to 10)
// when it refused the URL; the system's code (112 for a full disk, say) when
// the local file could not be written; 2 when the server answered without
// the file; 1223 (ERROR_CANCELLED) when the thread's progress
// (pipeline/Progress.h), which follows the fetch, was cancelled; 59 for any
// other failed transfer or an exception inside the library.

#include <cstdint>
#include <string>

class CUrlDoc {
 public:
  explicit CUrlDoc(int32_t deleteOnEmpty);
  CUrlDoc(const CUrlDoc&) = delete;
  CUrlDoc& operator=(const CUrlDoc&) = delete;
  // SetEmpty().
  virtual ~CUrlDoc();

  // Deletes the local file when delete-on-empty is set, releases the web
  // object and clears the error.
  virtual void SetEmpty();
  virtual int32_t SetDeleteOnEmpty(int32_t flag);
  // Fetches `url` synchronously. 1 when fetched; 0 on failure with the code
  // as the thread's last error and the server's status line as the message.
  virtual int32_t SetUrl(const std::string& url);
  // The local file's path. With an extension (its "." included) that the
  // file's name does not already end in, without regard to case, the file is
  // first moved, in its directory, to the name with that extension; the move
  // never replaces an existing file. 0 on failure (thread's last error set).
  virtual int32_t GetLocalName(std::string& out, const char* extension);
  // Deletes the local file; 1 when there was nothing to delete.
  virtual int32_t DeleteLocalFile();
  virtual int32_t GetErrorCode() const { return m_errorCode; }
  virtual std::string GetErrorMessage() const { return m_errorMessage; }

 private:
  void Fetch(const std::string& url);
  void TakeStatusLine();
  bool LearnLocalName();

  void* m_web = nullptr;
  std::string m_localName;
  bool m_nameKnown = false;
  int32_t m_deleteOnEmpty;
  int32_t m_errorCode = 0;
  std::string m_errorMessage;
};
