#include "GannetTest.h"

#include "support/TestFiles.h"

#include <cstdlib>

void GannetTest::SetUp() { WriteIni(""); }

std::string GannetTest::IniPath() { return std::string(std::getenv("XDG_CONFIG_HOME")) + "/w3skua.ini"; }

void GannetTest::WriteIni(const std::string& text) {
  const bool ownLimit = text.find("[network]") != std::string::npos;
  testing_support::WriteFile(IniPath(), (ownLimit ? "" : "[network]\ntimeout=5\n") + text);
}

int32_t GannetTest::FatalCode(WebHandle handle, std::string* message) {
  int32_t code = -99;
  char text[256] = "unset";
  EXPECT_EQ(0, webFatalErrorGet(handle, &code, text));
  if (message) *message = text;
  return code;
}

FetchResult GannetTest::Fetch(const std::string& url) {
  FetchResult r;
  CWebObject web(url);
  EXPECT_NE(nullptr, web.get());
  char name[256];
  webFileLocalNameGet(web.get(), name);
  r.constructedName = name;
  r.initCode = FatalCode(web.get());
  r.acquireResult = webFileAcquire(web.get());
  r.code = FatalCode(web.get(), &r.message);
  r.infoResult = webFileInfoGet(web.get(), &r.info);
  r.nameResult = webFileLocalNameGet(web.get(), name);
  r.localName = name;
  return r;
}

std::string GannetTest::SocketMessage(int error, const std::string& text) {
  return "Winsock Error " + std::to_string(error) + ": " + text + std::string(34, ' ');
}
