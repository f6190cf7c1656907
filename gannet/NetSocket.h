#pragma once
// The socket interface the HTTP driver talks to: one stream connection at a
// time, blocking calls, and the last socket error in Winsock numbering.

#include <cstdint>
#include <functional>
#include <string>

namespace gannet {

// What a web object keeps about its socket.
struct WebSocketInfo {
  int32_t socket = -1;
  int32_t lastError = 0;              // 0 for 10035 and 10000
  const char* errorText = nullptr;    // set only when an error is stored
};

class CNetSocket {
 public:
  virtual ~CNetSocket() = default;

  // Prepares the socket service once per object. window and message name
  // where socket events would be posted; this library asks for none. 0, or
  // -1 when the service cannot be started.
  virtual int32_t Init(intptr_t window, int32_t message) = 0;
  // Connects to host and port (0 means 80). 0, or -1 with the cause left
  // for LastError.
  virtual int32_t Connect(const std::string& host, int32_t port) = 0;
  // Fills *info. 0 when initialised, else -1.
  virtual int32_t GetInfo(WebSocketInfo* info) = 0;
  // Closes the connection, if any.
  virtual void Close() = 0;
  // Sends length bytes; the count sent, or -1 with the error stored.
  virtual int32_t Send(const char* data, int32_t length, int32_t flags) = 0;
  // Receives up to size bytes; the count, 0 at the end of the stream, or -1
  // with the error stored.
  virtual int32_t Receive(char* buffer, int32_t size, int32_t flags) = 0;
  // Whether the end of the stream that Receive reported is the peer's own.
  // TLS proves it with close_notify, and an end without one may be a cut
  // made on the way; a plain stream cannot tell and takes every end as it
  // comes.
  virtual bool EndIsClean() { return true; }
  // The stored error (the pending one is stored first when none is); 0 for
  // would-block (10035) and for 10000. A stored error stays for the life of
  // the object.
  virtual int32_t LastError() = 0;
  // The table text of the stored error.
  virtual const char* ErrorText() = 0;

  // Turns the connection into a TLS session with host's verified server
  // (caFile: extra trusted certificates in PEM, "" for none). 0, or -1 with
  // the reason stored as the error. A socket without TLS refuses.
  virtual int32_t StartTls(const std::string& /*host*/, const std::string& /*caFile*/) {
    return -1;
  }
  // From now on every wait also ends when the time limit has passed since
  // this call, however much arrives meanwhile; ClearDeadline ends that.
  virtual void StartDeadline() {}
  virtual void ClearDeadline() {}
  // While a call waits (for a name lookup, a connection or data), `tick` is
  // asked at least every 100 ms whether to go on; once it says false the
  // call fails with 10004 (interrupted). Null for none.
  using Tick = std::function<bool()>;
  virtual void SetTick(Tick tick) { (void)tick; }
};

}  // namespace gannet
