// libFuzzer target for the web library's parsers: the input is taken as a
// URL (scanned, parsed, split into host and port) and as the raw answer of
// a server, fed in pieces of varying size to the HTTP driver, which finds
// and parses the header block and writes the body to a scratch file.

#include "ContentTypeTable.h"
#include "HttpDriver.h"
#include "IniFile.h"
#include "NetSocket.h"
#include "UrlParser.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

using namespace gannet;

namespace {

// Serves a fixed answer; piece sizes follow the answer's own bytes.
class CAnswerSocket : public CNetSocket {
 public:
  explicit CAnswerSocket(const std::string& answer) : m_answer(answer) {}
  int32_t Init(intptr_t, int32_t) override { return 0; }
  int32_t Connect(const std::string&, int32_t) override { return 0; }
  int32_t GetInfo(WebSocketInfo*) override { return 0; }
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
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static CContentTypeTable* table = CContentTypeTable::AddRef(CIniFile("gannet-fuzz.ini"));
  static const std::string scratch =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/gannet-fuzz." +
      std::to_string(getpid()) + ".tmp";
  const std::string text(reinterpret_cast<const char*>(data), size);

  UrlParts parts;
  ScanUrl(text, &parts);
  const std::string host = ParseUrl(text, "", kParseHost).value_or("");
  SplitHostPort(host);
  ParseUrl(text, "", kParsePath | kParsePunctuation);
  CHttpDriver::BuildRequest(text, host);

  CAnswerSocket socket(text);
  CHttpDriver driver("http://fuzz/x", scratch, "", &socket, 0, table);
  std::string name;
  int32_t length = 0;
  driver.Load(&name, &length);
  DriverInfo info;
  driver.GetInfo(&info);
  unlink(info.localName.c_str());
  return 0;
}
