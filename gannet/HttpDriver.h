#pragma once
// The HTTP/1.0 driver: connects directly or through a proxy (https through
// a CONNECT tunnel), speaks TLS for https, sends one GET, follows up to 10
// redirects and writes the final answer's body into the local file. The
// body ends after Content-Length bytes, at the last chunk of a chunked
// answer, or else when the server closes (over TLS with close_notify; an
// end without it is a cut). Each answer streams through one 20480-byte
// window; the body never sits whole in memory.
//
// Failures that are not the socket's (a refused redirect, a content coding,
// a password that would travel in cleartext to another host or past a
// proxy) are reported as socket errors with their own numbers
// (WinsockErrors.h).
//
// A body that breaks after the header (a reset, an end before
// Content-Length bytes, no progress within the time limit) of an answer
// with a Content-Length and an ETag or Last-Modified is resumed: the same
// final URL is asked again with "Range: bytes=N-" and "If-Range". A 206
// that continues at N with the same total is appended; a 200 starts the
// file again from zero; anything else fails. Each failure after a resume
// began removes the local file.
//
// The local file is created with O_CREAT | O_EXCL | O_NOFOLLOW and mode
// 0600; a name taken by anybody else fails the transfer. A later transfer
// of the same driver rewrites the file it created itself.

#include "ChunkDecoder.h"
#include "ProtocolDriver.h"
#include "UrlParser.h"
#include "gannet.h"

#include <memory>
#include <sys/types.h>
#include <vector>

namespace gannet {

class CNetSocket;
class CContentTypeTable;

class CHttpDriver : public CProtocolDriver {
 public:
  static constexpr int32_t kWindow = 20480;
  static constexpr int32_t kRefillThreshold = 256;

  // socket and table are not owned (table may be null: no extension mapping).
  // proxy is "" for a direct connection. reserved is stored and not used.
  CHttpDriver(const std::string& url, const std::string& localName, const std::string& proxy,
              CNetSocket* socket, int32_t reserved, CContentTypeTable* table);
  ~CHttpDriver() override;
  CHttpDriver(const CHttpDriver&) = delete;
  CHttpDriver& operator=(const CHttpDriver&) = delete;

  int32_t Load(std::string* name, int32_t* length) override;
  int32_t GetInfo(DriverInfo* info) override;
  int32_t GetSocketError() override;
  int GetLocalError() const override { return m_localError; }
  // Follows later transfers with callback (see webFileProgressSet), which
  // is also asked at every tick of the socket's waits.
  void SetProgress(WebProgressCallback callback, void* cookie);

  // Extra trusted certificates (a PEM bundle) for https; "" for none.
  void SetCaFile(const std::string& caFile) { m_caFile = caFile; }
  // At most retries resumes per transfer (0: none); the first waits
  // firstWaitMs, each later one twice as long as the one before.
  void SetResume(int retries, int firstWaitMs) {
    m_retries = retries;
    m_firstWaitMs = firstWaitMs;
  }
  // The local file's name as it stands, mapped extension included.
  const std::string& LocalName() const { return m_localName; }

  static constexpr int kMaxRedirects = 10;
  // Claims a new name "http" + unique part + ".tmp" in the user's temporary
  // directory ($TMPDIR when it names a directory, else /tmp), proves it can
  // be created, and removes the file again. False when that fails or when
  // the name would not fit 252 characters (a mapped extension may add 3).
  static bool ChooseTempFile(std::string* name);

  // The request for target (percent-escaped) with a Host header for
  // hostHeader and, when credentials ("user:password") are given, Basic
  // authorization; the bytes sent, exactly.
  // extraHeaders (complete lines) are added as they stand.
  static std::string BuildRequest(const std::string& target, const std::string& hostHeader,
                                  const std::string& credentials = "",
                                  const std::string& extraHeaders = "");

 private:
  bool Transfer();
  // Exchanges requests and answers until one is not a redirect to follow;
  // its header block is then in the window and the connection open.
  bool ReachFinalAnswer();
  // One request and the header block of its answer, for url. False on any
  // failure before the header block was parsed.
  bool Exchange(const std::string& url, const std::string& credentials,
                const std::string& extraHeaders = "");
  // Connects to the origin of target (through the proxy when one is set)
  // and starts TLS for https.
  bool Open(const RequestTarget& target);
  bool OpenTunnel(const RequestTarget& target);
  // Receives until the header block has ended and parses it; false on a
  // socket failure, the end of the stream or a block too long for the
  // window. The whole phase is bounded by the time limit.
  bool ReceiveHeader();
  // The next URL when the answer is a redirect to be followed; "" when it
  // is not a redirect. False (with m_ownError) when it must be refused.
  bool NextHop(const std::string& url, std::vector<std::string>* visited, std::string* next);
  // The final answer: checks its codings, then receives and writes its body.
  bool TakeAnswer();
  // Whether the last body broke in a way a range request may mend.
  bool CanResume() const;
  // Asks for the rest of the body after a pause for attempt (0 first) and
  // takes the answer: appends a fitting 206, starts again on a 200.
  bool Resume(int attempt);
  // Checks a 206 against the body kept so far and continues it.
  bool ContinueRange();
  // Empties the local file and tells the progress callback.
  bool Restart();
  // Removes the local file after a failed resume.
  void Discard();
  // Writes the body that follows the header block: what the window holds
  // already, then each block as it is received, until the body has ended.
  bool ReceiveBody();
  // Passes one received block of the body on, decoded, to the local file.
  bool DeliverBody(const char* data, size_t size);
  bool BodyComplete() const;
  bool Refuse(int32_t error);
  // False when the progress callback asked to stop; the local file is then
  // gone and the local error is ECANCELED.
  bool ReportProgress(int64_t received, int64_t total);
  // Tells the callback, while a wait goes on, the count it was told last.
  bool Tick() { return ReportProgress(m_shownReceived, m_shownTotal); }
  // Sleeps `ms` milliseconds in ticks; false when the callback said stop.
  bool Pause(int64_t ms);
  bool FindHeaderEnd(int32_t* scanFrom);
  void ParseHeader();
  bool OpenOutput();
  int OpenOwnFile();
  bool WriteOutput(const char* data, size_t size);
  // Keeps errno as the first local-file failure of the transfer.
  void NoteLocalError();
  bool CloseOutput();

  std::string m_url;
  std::string m_localName;
  std::string m_proxy;
  std::string m_caFile;
  CNetSocket* m_socket;
  CContentTypeTable* m_table;
  std::vector<char> m_receive;
  int32_t m_filled = 0;
  int32_t m_headerLength = 0;
  bool m_headerParsed = false;
  int64_t m_contentLength = -1;
  int64_t m_bodyReceived = 0;
  int32_t m_requestLength = 0;
  int32_t m_fileLength = 0;
  std::string m_contentType;
  int32_t m_statusCode = 0;
  std::string m_statusLine;
  int m_output = -1;
  int m_localError = 0;
  int32_t m_success = 0;
  int32_t m_socketError = 0;
  int32_t m_ownError = 0;
  bool m_chunked = false;
  CChunkDecoder m_chunks;
  std::string m_location;
  std::string m_contentEncoding;
  std::string m_finalUrl;
  std::string m_etag;
  std::string m_lastModified;
  // What a resume needs of the answer whose body it continues.
  std::string m_credentials;
  std::string m_savedEtag;
  std::string m_savedLastModified;
  std::string m_validator;
  int64_t m_total = -1;
  bool m_broken = false;
  bool m_ranged = false;
  int m_retries = 0;
  int m_firstWaitMs = 1000;
  // The file this driver created last, so that it may rewrite it.
  std::string m_ownPath;
  WebProgressCallback m_progress = nullptr;
  void* m_progressCookie = nullptr;
  int64_t m_shownReceived = 0;
  int64_t m_shownTotal = -1;
  dev_t m_ownDevice = 0;
  ino_t m_ownInode = 0;
};

}  // namespace gannet
