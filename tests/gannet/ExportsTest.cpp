// The exported interface without a network: null handles, fixed results,
// construction failures, the shared error record, and the symbol table of
// the library itself.

#include "GannetTest.h"

#include "support/TestFiles.h"

#include <cstdio>
#include <cstring>
#include <set>
#include <sys/stat.h>

namespace {

const std::string kNoError = "No Error.";
const std::string kUnknownProtocol = "URL specifies unknown protocol.";

std::string Command(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

}  // namespace

TEST_F(GannetTest, EveryExportRefusesANullHandle) {
  int32_t code = 77;
  char text[256] = "untouched";
  WebFileInfo info{};
  EXPECT_EQ(-1, webFatalErrorGet(nullptr, &code, text));
  EXPECT_EQ(77, code);
  EXPECT_STREQ("untouched", text);
  EXPECT_EQ(-1, webFileAcquire(nullptr));
  EXPECT_EQ(0, webFileAcquired(nullptr));
  EXPECT_EQ(-1, webFileInfoGet(nullptr, &info));
  EXPECT_EQ(-1, webFileLocalNameGet(nullptr, text));
  EXPECT_STREQ("untouched", text);
  EXPECT_EQ(-1, webFileIsModified(nullptr));
  EXPECT_EQ(-1, webFileInUse(nullptr));
  EXPECT_EQ(-1, webSocketErrorGet(nullptr, &code));
  EXPECT_EQ(77, code);
  webObjectDelete(nullptr);
}

TEST_F(GannetTest, ReservedExportsGiveFixedResults) {
  for (int32_t a : {0, 1, -1, 0x7fffffff}) {
    EXPECT_EQ(-1, webFilePreserve(a, a));
    EXPECT_EQ(-1, webFileReplace(a));
    EXPECT_EQ(-1, webFileReplaced(a));
    EXPECT_EQ(0, webFileWait(a));
  }
  CWebObject web("http://127.0.0.1/x");
  EXPECT_EQ(1, webFileIsModified(web.get()));
  EXPECT_EQ(1, webFileInUse(web.get()));
  EXPECT_EQ(0, webFileAcquired(web.get()));
}

TEST_F(GannetTest, FreshObjectReportsNoErrorAndATemporaryName) {
  CWebObject web("http://127.0.0.1/dir/a.qvr");
  std::string message;
  EXPECT_EQ(0, FatalCode(web.get(), &message));
  EXPECT_EQ(kNoError, message);
  char name[256];
  ASSERT_EQ(0, webFileLocalNameGet(web.get(), name));
  const std::string local = name;
  const std::string dir = std::string(std::getenv("TMPDIR")) + "/http";
  EXPECT_EQ(dir, local.substr(0, dir.size()));
  EXPECT_EQ(".tmp", local.substr(local.size() - 4));
  EXPECT_FALSE(testing_support::Exists(local));  // only the name is kept

  CWebObject other("http://127.0.0.1/dir/a.qvr");
  char otherName[256];
  ASSERT_EQ(0, webFileLocalNameGet(other.get(), otherName));
  EXPECT_NE(local, otherName);
}

TEST_F(GannetTest, EmptyUrlFailsConstructionThenAcquire) {
  for (const char* url : {"", static_cast<const char*>(nullptr)}) {
    CWebObject web(url);
    ASSERT_NE(nullptr, web.get());
    std::string message;
    EXPECT_EQ(1, FatalCode(web.get(), &message));
    EXPECT_EQ("No URL provided.", message);
    WebFileInfo info;
    std::memset(&info, 'Z', sizeof info);
    EXPECT_EQ(-1, webFileInfoGet(web.get(), &info));
    EXPECT_STREQ("", info.url);
    EXPECT_STREQ("", info.proxy);
    EXPECT_EQ('Z', info.statusLine[0]);  // no driver: nothing past the texts
    EXPECT_EQ(-1, webFileAcquire(web.get()));
    EXPECT_EQ(2, FatalCode(web.get(), &message));
    EXPECT_EQ("Could not create protocol driver object.", message);
  }
}

TEST_F(GannetTest, OnlyLowerCaseHttpSchemesGetADriver) {
  struct Case {
    const char* url;
    int32_t code;
  } cases[] = {
      {"gopher://host/x", 3}, {"ftp://host/x", 3},  {"HTTP://host/x", 3},
      {"Http://host/x", 3},   {"file:///etc/passwd", 3}, {"host/x", 3},
      {"http://host/x", 0},   {"https://host/x", 0}, {"httpx:whatever", 0},
  };
  for (const Case& c : cases) {
    CWebObject web(c.url);
    std::string message;
    EXPECT_EQ(c.code, FatalCode(web.get(), &message)) << c.url;
    WebFileInfo info{};
    EXPECT_EQ(c.code == 0 ? 0 : -1, webFileInfoGet(web.get(), &info)) << c.url;
    EXPECT_STREQ(c.url, info.url);
    if (c.code == 3) {
      EXPECT_EQ(kUnknownProtocol, message);
      EXPECT_EQ(-1, webFileAcquire(web.get()));
      EXPECT_EQ(2, FatalCode(web.get()));
    }
  }
}

TEST_F(GannetTest, FatalEntryIsSharedAndResetByTheNextObject) {
  CWebObject first("ftp://host/x");
  CWebObject second("http://host/x");
  EXPECT_EQ(0, FatalCode(first.get()));  // the second construction reset it
  EXPECT_EQ(-1, webFileAcquire(CWebObject("gopher://x").get()));
  {
    CWebObject failing("");
    EXPECT_EQ(1, FatalCode(second.get()));  // seen through another handle
    EXPECT_EQ(1, FatalCode(first.get()));
  }
  EXPECT_EQ(1, FatalCode(second.get()));  // outlives the object that recorded it
  CWebObject third("http://host/y");
  std::string message;
  EXPECT_EQ(0, FatalCode(first.get(), &message));
  EXPECT_EQ(kNoError, message);
  char name[256];
  EXPECT_EQ(0, webFileLocalNameGet(first.get(), name));
}

TEST_F(GannetTest, InfoTextsAreCutToTheirFields) {
  const std::string url = "http://host/" + std::string(600, 'u');
  WriteIni("[proxy information]\nhttp_proxy=http://" + std::string(400, 'p') + "\n");
  CWebObject web(url);
  WebFileInfo info;
  std::memset(&info, 'Z', sizeof info);
  ASSERT_EQ(0, webFileInfoGet(web.get(), &info));
  EXPECT_EQ(url.substr(0, 255), std::string(info.url));
  // The proxy value is read up to 127 characters.
  EXPECT_EQ(("http://" + std::string(400, 'p')).substr(0, 127), std::string(info.proxy));
  EXPECT_EQ(0, info.statusCode);
  EXPECT_STREQ("", info.statusLine);
  EXPECT_EQ(0, info.completed);
  EXPECT_EQ(0, info.reserved);
}

TEST_F(GannetTest, LibraryExportsItsNamesOnly) {
  const std::string lib = GANNET_LIBRARY;
  std::set<std::string> names;
  std::string symbols = Command("nm -D --defined-only --format=just-symbols '" + lib + "'");
  for (size_t start = 0, end; (end = symbols.find('\n', start)) != std::string::npos;
       start = end + 1) {
    names.insert(symbols.substr(start, end - start));
  }
  const std::set<std::string> expected = {
      "webFatalErrorGet",  "webFileAcquire", "webFileAcquired",  "webFileInfoGet",
      "webFileLocalNameGet", "webObjectDelete", "webObjectInit", "webFileIsModified",
      "webFileInUse",      "webFilePreserve", "webFileReplace",   "webFileReplaced",
      "webFileWait",       "webFileProgressSet", "webSocketErrorGet"};
  EXPECT_EQ(expected, names);
  EXPECT_NE(std::string::npos, Command("objdump -p '" + lib + "'").find("SONAME               libgannet.so.1"));
}
