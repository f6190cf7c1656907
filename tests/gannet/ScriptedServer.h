#pragma once
// A loopback HTTP peer for the web library's tests: it listens on
// 127.0.0.1 (ephemeral port), records each request's raw bytes and answers
// every connection with the same scripted raw bytes (or, given a list,
// each connection with the next one, the last for all that follow). A
// request is in when its header block ends, or, from a TLS client, when its
// first record (the ClientHello) is whole. It stops by itself after a minute
// at most.

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CScriptedServer {
 public:
  enum class Mode {
    kReply,   // send the reply, then close
    kSilent,  // accept, read the request, say nothing until stopped
    kReset,   // send the reply, then reset the connection
    kDrip,    // send the reply one byte per drip interval, then close
    kEndless, // send the reply, then header lines until the client leaves
    kHangUp,  // close each connection unread: the client meets a reset
    kKeepOpen, // send the reply, then keep the connection until the client leaves
    kTrickle, // send the reply 4 KiB every 20 ms, then close
  };

  // ipv6: listen on ::1 instead of 127.0.0.1.
  explicit CScriptedServer(std::string reply, Mode mode = Mode::kReply, bool ipv6 = false);
  CScriptedServer(std::vector<std::string> replies, Mode mode = Mode::kReply, bool ipv6 = false);
  ~CScriptedServer();
  CScriptedServer(const CScriptedServer&) = delete;
  CScriptedServer& operator=(const CScriptedServer&) = delete;

  int Port() const { return m_port; }
  // The pause between two bytes in Mode::kDrip: a second unless changed
  // before the first connection.
  void SetDripInterval(int ms) { m_dripMs = ms; }
  // "http://127.0.0.1:<port>" (or "http://[::1]:<port>") followed by path.
  std::string Url(const std::string& path) const;
  // The requests received so far, in order.
  std::vector<std::string> Requests() const;
  // The connections accepted so far.
  int Connections() const { return m_connections.load(); }

  // A reply that is no answer: the server reads the request, then says
  // nothing, and reads nothing more, until the client leaves.
  static const std::string kNoAnswer;

 private:
  void Serve();
  void Answer(int fd);
  // Waits for fd to become readable; false when stopped or timed out.
  bool WaitReadable(int fd, int timeoutMs) const;
  // Sends all of data; false when the client left or the server stopped.
  bool SendAll(int fd, const char* data, size_t size) const;
  // Waits for ms; false when the server was stopped meanwhile.
  bool Pause(int ms) const;

  std::vector<std::string> m_replies;
  Mode m_mode;
  bool m_ipv6;
  std::atomic<int> m_dripMs{1000};
  int m_listen = -1;
  int m_port = 0;
  int m_stop[2] = {-1, -1};
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
  std::atomic<int> m_connections{0};
  std::thread m_thread;
};
