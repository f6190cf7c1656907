#pragma once
// One HTTP request to a WebDAV server through libcurl, set up as every
// request of Quiver's must be: http and https only, TLS 1.2 or later with
// the chain and the host name checked against the system's trust store
// (SSL_CERT_FILE and SSL_CERT_DIR honoured) and the web access library's
// `cafile`, through the web access library's proxy (never the
// environment's), no redirect followed, a connection timeout, and a stall
// limit that ends a transfer whose server acknowledges nothing for 30 s.
// HTTP/1.1, so that a body of unknown length goes chunked. The stop event
// current on the thread that makes the request (platform/StopEvent.h) ends
// it at once, whatever it waits for.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/StopEvent.h"
#include "remote/Netrc.h"

typedef void CURL;
struct curl_slist;

class CDavRequest {
 public:
  // Fills `out` with up to `length` bytes of the body: their count, 0 at
  // its end, -1 to abort the request.
  using BodySource = std::function<ptrdiff_t(uint8_t* out, size_t length)>;

  // A GET of `url`, sending `login` as Basic authorization when not null.
  CDavRequest(const std::string& url, const NetrcLogin* login);
  ~CDavRequest();
  CDavRequest(const CDavRequest&) = delete;
  CDavRequest& operator=(const CDavRequest&) = delete;

  void AddHeader(const std::string& line);
  // A PUT of `body`.
  void Put(const std::string& body);
  // A PUT of a body of unknown length, read from `source` as it is sent.
  void PutStream(BodySource source);
  void Delete();
  void Head();
  void MakeCollection();
  // A PROPFIND of the resource alone (Depth: 0).
  void Properties();
  // Aborts the transfer, at the latest 100 ms later, once `stop` is true.
  void StopWhen(std::function<bool()> stop);
  // Tells `sent` now and then how many bytes of the body have left this
  // computer (handed over, less what still waits in the socket's buffer).
  void OnSent(std::function<void(uint64_t sent)> sent);

  // True when the server answered, whatever its status; false when no
  // answer came (CurlCode() and CurlError() tell why).
  bool Perform();

  long Status() const { return m_status; }
  // At most the first 64 KiB of the answer's body.
  const std::string& Body() const { return m_body; }
  // The answer's Content-Length, or -1.
  int64_t ContentLength() const;
  int CurlCode() const { return m_curlCode; }
  // Whether the stall limit ended the request (CurlCode() then says aborted).
  bool Stalled() const { return m_stalled; }
  std::string CurlError() const;

 private:
  static size_t Received(char* data, size_t size, size_t count, void* self);
  static size_t Send(char* out, size_t size, size_t count, void* self);
  static int Progress(void* self, int64_t, int64_t, int64_t uploaded, int64_t);
  // Of `uploaded` bytes handed to the socket, those no longer in its buffer.
  uint64_t Sent(uint64_t uploaded) const;
  // Whether the server acknowledged or sent anything since the last call.
  bool Moved();
  // Whether the request is to end now: its stop event or its probe says so.
  bool Stopping() const;
  // Runs the transfer to its end or its stop; libcurl's result.
  int Run();

  CURL* m_curl;
  curl_slist* m_headers = nullptr;
  std::string m_body;
  std::string m_putBody;
  size_t m_putOffset = 0;
  BodySource m_source;
  std::function<bool()> m_stop;
  CStopEvent* m_stopEvent;
  std::function<void(uint64_t)> m_sent;
  char m_errorText[256] = {};
  long m_status = 0;
  uint64_t m_moved = 0;  // bytes acknowledged plus bytes received, at the last look
  int64_t m_stillSince = 0;  // steady milliseconds since when nothing moved
  bool m_stalled = false;
  int m_curlCode = 0;
};
