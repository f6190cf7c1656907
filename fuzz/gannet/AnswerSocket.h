#pragma once
// A socket without a network for the fuzz targets: it takes every request
// and answers with fixed bytes, handed out in pieces whose sizes follow the
// answer's own bytes, then the end of the stream. Each new connection (after
// a redirect) is answered from the next "HTTP/" on, so that one input holds
// a whole chain of answers.

#include "NetSocket.h"

#include <algorithm>
#include <cstring>
#include <string>

class CAnswerSocket : public gannet::CNetSocket {
 public:
  explicit CAnswerSocket(std::string answer) : m_answer(std::move(answer)) {}
  int32_t Init(intptr_t, int32_t) override { return 0; }
  int32_t Connect(const std::string&, int32_t) override {
    if (m_connects++ > 0) {
      const size_t next = m_answer.find("HTTP/", m_start + 1);
      m_start = m_pos = next == std::string::npos ? m_answer.size() : next;
    }
    return 0;
  }
  int32_t GetInfo(gannet::WebSocketInfo*) override { return 0; }
  void Close() override {}
  int32_t Send(const char*, int32_t length, int32_t) override { return length; }
  int32_t Receive(char* buffer, int32_t size, int32_t) override {
    if (m_pos >= m_answer.size()) return 0;
    const size_t piece = 1 + static_cast<unsigned char>(m_answer[m_pos]) * 97;
    const size_t n = std::min({piece, static_cast<size_t>(size), m_answer.size() - m_pos});
    std::memcpy(buffer, m_answer.data() + m_pos, n);
    m_pos += n;
    return static_cast<int32_t>(n);
  }
  int32_t LastError() override { return 0; }
  const char* ErrorText() override { return ""; }

 private:
  std::string m_answer;
  size_t m_pos = 0;
  size_t m_start = 0;
  int m_connects = 0;
};
