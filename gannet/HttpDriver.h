#pragma once
// The HTTP/1.0 driver: asks for one URL with a GET, follows redirects
// (CRedirectPolicy), and writes the final answer's body into the local file
// (COutputFile), resuming a body that broke (CResumePolicy). The body ends
// after Content-Length bytes, at the last chunk of a chunked answer, or
// else when the server closes (over TLS with close_notify; an end without
// it is a cut). Each answer streams through the connection's window
// (CHttpConnection); the body never sits whole in memory.
//
// A failed Load returns 0. Failures that are not the socket's (a refused
// redirect, a content coding, a password that would travel in cleartext to
// another host or past a proxy) are reported as socket errors with their
// own numbers (WinsockErrors.h). Each failure after a resume began removes
// the local file.

#include "ChunkDecoder.h"
#include "HttpConnection.h"
#include "HttpHeader.h"
#include "OutputFile.h"
#include "ProtocolDriver.h"
#include "ResumePolicy.h"
#include "gannet.h"

#include <cerrno>
#include <cstdint>
#include <string>

namespace gannet {

class CNetSocket;
class CContentTypeTable;

class CHttpDriver : public CProtocolDriver {
 public:
  // socket and table are not owned (table may be null: no extension mapping).
  // proxy is "" for a direct connection.
  CHttpDriver(const std::string& url, const std::string& localName, const std::string& proxy,
              CNetSocket* socket, CContentTypeTable* table);
  ~CHttpDriver() override;
  CHttpDriver(const CHttpDriver&) = delete;
  CHttpDriver& operator=(const CHttpDriver&) = delete;

  int32_t Load(std::string* name, int32_t* length) override;
  int32_t GetInfo(DriverInfo* info) override;
  int32_t GetSocketError() override { return m_socketError; }
  // ECANCELED after the progress callback asked to stop.
  int GetLocalError() const override { return m_cancelled ? ECANCELED : m_file.Error(); }
  // Follows later transfers with callback (see webFileProgressSet), which
  // is also asked at every tick of the socket's waits.
  void SetProgress(WebProgressCallback callback, void* cookie);

  // Extra trusted certificates (a PEM bundle) for https; "" for none.
  void SetCaFile(const std::string& caFile) { m_connection.SetCaFile(caFile); }
  // See CResumePolicy::SetLimits.
  void SetResume(int retries, int firstWaitMs) { m_resume.SetLimits(retries, firstWaitMs); }
  // The local file's name as it stands, mapped extension included.
  const std::string& LocalName() const { return m_file.Name(); }

 private:
  void BeginTransfer();
  bool Transfer();
  // Closes the local file, making sure a successful transfer leaves one.
  bool FinishTransfer(bool ok);
  // Exchanges requests and answers until one is not a redirect to follow;
  // its header block is then in the window and the connection open.
  bool ReachFinalAnswer();
  // One request and the header block of its answer, for url. False on any
  // failure before the header block was parsed.
  bool Exchange(const std::string& url, const std::string& credentials,
                const std::string& extraHeaders = "");
  // The final answer: checks its codings, then receives and writes its body.
  bool TakeAnswer();
  // Whether the last body broke for no reason of the transfer's own.
  bool BrokeOnTheWay() const;
  // Asks for the rest of the body after a pause for attempt (0 first) and
  // takes the answer: appends a fitting 206, starts again on a 200.
  bool Resume(int attempt);
  bool ContinueRange();
  // Empties the local file and tells the progress callback.
  bool Restart();
  // Writes the body that follows the header block: what the window holds
  // already, then each block as it is received, until the body has ended.
  bool ReceiveBody();
  // Passes one received block of the body on, decoded, to the local file.
  bool DeliverBody(const char* data, size_t size);
  bool BodyComplete() const;
  bool WriteOutput(const char* data, size_t size);
  bool Refuse(int32_t error);
  // False when the progress callback asked to stop; the local file is then
  // gone and the local error is ECANCELED.
  bool ReportProgress(int64_t received, int64_t total);
  // Tells the callback, while a wait goes on, the count it was told last.
  bool Tick() { return ReportProgress(m_shownReceived, m_shownTotal); }
  // Sleeps `ms` milliseconds in ticks; false when the callback said stop.
  bool Pause(int64_t ms);
  CHttpHeader& Answer() { return m_connection.Header(); }

  std::string m_url;
  CNetSocket* m_socket;
  CHttpConnection m_connection;
  COutputFile m_file;
  CResumePolicy m_resume;
  // The URL of the answer taken and the credentials sent there.
  std::string m_finalUrl;
  std::string m_credentials;
  int32_t m_requestLength = 0;
  int32_t m_fileLength = 0;
  int32_t m_success = 0;
  int32_t m_socketError = 0;
  int32_t m_ownError = 0;
  bool m_cancelled = false;
  CChunkDecoder m_chunks;
  int64_t m_bodyReceived = 0;
  bool m_broken = false;
  bool m_ranged = false;
  WebProgressCallback m_progress = nullptr;
  void* m_progressCookie = nullptr;
  int64_t m_shownReceived = 0;
  int64_t m_shownTotal = -1;
};

}  // namespace gannet
