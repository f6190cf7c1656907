#pragma once
// One remote document fetched through the web access library into a local
// file: the fetch, its failure as a code and a text, the local file's name
// (moved to a wanted extension on request) and, when so set, the removal of
// that file once the document is emptied.
//
// Error codes: 0 none; -1 a fetch while busy; the library's code (1 to 10)
// when it refused the URL; the system's code (112 for a full disk, say) when
// the local file could not be written; for an answer without the file, by
// its status: 5 for 401/403/407, 206 for 414, 0x80190003/4/5 for other 3xx,
// 4xx and 5xx, 2 otherwise (404, 410, a cut or unreadable answer); for a
// failure above the socket, the library's number for it (0x80090322,
// 0x80090325, 0x80090326, 0x80090327, 0x80090328, 0x80090331 from the secure
// channel; 50 a content coding, 12040 https redirected to http, 12042 a
// password in cleartext, 12156 too many redirects, a loop or another
// scheme); 1223 (ERROR_CANCELLED) when the thread's progress
// (pipeline/Progress.h), which follows the fetch, was cancelled; 59 for any
// other failed transfer or an exception inside the library.

#include <cstdint>
#include <string>

class CArrivingFile;

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
  // Makes later fetches tell `arrival` (null: nothing) of the body as it is
  // written, so that another thread can read it meanwhile, and abandon it
  // when the body starts over. The outcome is the caller's to tell. A fetch
  // whose reader gave up stops as if cancelled.
  void Follow(CArrivingFile* arrival) { m_arrival = arrival; }
  // The local file's path. With an extension (its "." included) that the
  // file's name does not already end in, without regard to case, the file is
  // first moved, in its directory, to the name with that extension; the move
  // never replaces an existing file. 0 on failure (thread's last error set).
  virtual int32_t GetLocalName(std::string& out, const char* extension);
  // Deletes the local file; 1 when there was nothing to delete.
  virtual int32_t DeleteLocalFile();
  virtual int32_t GetErrorCode() const { return m_errorCode; }
  virtual std::string GetErrorMessage() const { return m_errorMessage; }
  // After a failed SetUrl: the cause in plain words, with what to do where
  // that is known ("The server has no such file: ..."); empty when the
  // system's message says all there is.
  const std::string& GetCause() const { return m_cause; }

 private:
  void Fetch(const std::string& url);
  // Takes the status line as the message; the status code.
  int32_t TakeStatusLine();
  bool LearnLocalName();

  void* m_web = nullptr;
  CArrivingFile* m_arrival = nullptr;
  std::string m_localName;
  bool m_nameKnown = false;
  int32_t m_deleteOnEmpty;
  int32_t m_errorCode = 0;
  std::string m_errorMessage;
  std::string m_cause;
};
