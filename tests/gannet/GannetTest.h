#pragma once
// Fixture of the web library's tests: each test starts from its own
// "w3skua.ini" (in the private XDG_CONFIG_HOME) with a short time limit,
// and drives web objects through the exported C interface.

#include "gannet.h"

#include <gtest/gtest.h>

#include <string>

// A web object that is deleted when it goes out of scope.
class CWebObject {
 public:
  explicit CWebObject(const char* url) : m_handle(webObjectInit(url, 0, 0, 0)) {}
  explicit CWebObject(const std::string& url) : CWebObject(url.c_str()) {}
  ~CWebObject() { webObjectDelete(m_handle); }
  CWebObject(const CWebObject&) = delete;
  CWebObject& operator=(const CWebObject&) = delete;
  WebHandle get() const { return m_handle; }

 private:
  WebHandle m_handle;
};

// Everything a caller can learn about one fetch.
struct FetchResult {
  int32_t initCode = -99;
  int32_t acquireResult = -99;
  int32_t code = -99;
  std::string message;
  int32_t infoResult = -99;
  WebFileInfo info{};
  int32_t nameResult = -99;
  std::string constructedName;  // the local name right after construction
  std::string localName;        // the local name after the acquire
};

class GannetTest : public ::testing::Test {
 protected:
  void SetUp() override;

  // Replaces the settings file; the time limit stays short unless text
  // names its own [network] section.
  static void WriteIni(const std::string& text);
  static std::string IniPath();

  // The fatal code and message as seen through handle.
  static int32_t FatalCode(WebHandle handle, std::string* message = nullptr);

  // Constructs, acquires, reads everything back and deletes the object.
  static FetchResult Fetch(const std::string& url);

  // The "Winsock Error" message for error and its text.
  static std::string SocketMessage(int error, const std::string& text);
};
