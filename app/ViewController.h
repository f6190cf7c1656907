#pragma once
// The receiving side without its window: reads and describes a pointer file,
// fetches and decodes what it points to, opens the result with the user's
// application and keeps track of the files to remove once those
// applications have exited.
//
// The view window shows and edits the texts below; the command line uses the
// same object unshown. Destroying it waits, without time limit, for every
// tracked application to exit, then for the hand-off grace (five seconds,
// or less as QUIVER_HAND_OFF_GRACE_MS says in milliseconds: a seam for the
// tests of the program) and for no process to have its file open any more,
// and then deletes the file.

#include "app/Settings.h"

#include <chrono>
#include <map>
#include <memory>
#include <string>

class CPointerDoc;
class CProcess;
class CQuiverApp;

class CViewController {
 public:
  // Copies the application's settings. A non-empty `pointerFile` becomes the
  // File text and is loaded silently (a failure leaves the texts empty).
  CViewController(CQuiverApp& app, const std::string& pointerFile);
  CViewController(const CViewController&) = delete;
  CViewController& operator=(const CViewController&) = delete;
  virtual ~CViewController();

  // The hand-off grace of every controller from now on; tests shorten it.
  static void SetHandOffGrace(std::chrono::milliseconds grace);

  // Fetches, decodes and launches the loaded pointer file, showing the
  // progress through the application. Reports a failed fetch as "Problem
  // fetching " + URL, and a cancelled one not at all (it leaves no file and
  // launches nothing); after a failed launch asks whether to keep the
  // decoded file. A program or script is opened only when the user says so
  // (No is the default, and the answer without a way to ask); else it stays,
  // untracked, at the path the question names. False on a failure, a cancel
  // or a program not opened.
  virtual bool FetchAndLaunch();
  // Reads `path` into the document and sets the descriptive texts and the
  // link (app/ReceivePage.h);
  // on failure empties them, silently.
  virtual bool LoadPointerFile(const std::string& path);
  // LoadPointerFile, reporting a failure as "Problem reading " + path.
  virtual bool ReadPointerFile(const std::string& path);

  std::string& File() { return m_strFile; }
  std::string& LastFile() { return m_strLastFile; }
  std::string& Url() { return m_strUrl; }
  std::string& Compression() { return m_strCompression; }
  std::string& Encryption() { return m_strEncryption; }
  // The file's size as a byte count with the same in words.
  std::string& Size() { return m_strSize; }
  // The link that opens the pointer file in a web browser.
  std::string& Link() { return m_strLink; }
  CSettings& Settings() { return m_settings; }
  CQuiverApp& App() { return *m_pApp; }
  // How many launched applications are waited for at destruction.
  size_t TrackedCount() const { return m_launched.size(); }

 private:
  // Deletes a decoded file that is not to be kept.
  static void Discard(const std::string& path);

  std::string m_strFile;
  std::string m_strUrl;
  std::string m_strCompression;
  std::string m_strEncryption;
  std::string m_strSize;
  std::string m_strLink;
  std::unique_ptr<CPointerDoc> m_doc;
  // Keyed by process id, unique while the process is not waited for.
  std::map<int, std::pair<std::unique_ptr<CProcess>, std::string>> m_launched;
  std::string m_strLastFile;
  CQuiverApp* m_pApp;
  CSettings m_settings;
};
