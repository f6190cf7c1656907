#include "app/UrlDoc.h"
#include "platform/SystemError.h"
#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace testing_support;

namespace {

class UrlDocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(published + "/report.doc", "word document");
    WriteFile(published + "/notes.txt", "plain notes");
    WriteFile(TestRoot() + "/config/w3skua.ini",
              "[contenttype]\napplication/msword=.doc\n[network]\ntimeout=5\n");
  }

  std::string Url(const std::string& name) const { return server.BaseUrl() + name; }
  std::vector<std::string> TempFiles() const { return ListDir(TestRoot() + "/tmp"); }

  std::string published = MakeDir("www");
  CNginxServer server{published};
};

TEST_F(UrlDocTest, FetchesIntoALocalFileAndMovesItToTheWantedExtension) {
  CUrlDoc doc(1);
  ASSERT_EQ(doc.SetUrl(Url("notes.txt")), 1);
  EXPECT_EQ(doc.GetErrorCode(), 0);
  std::string plain, moved, again;
  ASSERT_EQ(doc.GetLocalName(plain, nullptr), 1);
  EXPECT_EQ(plain.substr(plain.size() - 4), ".tmp");
  ASSERT_EQ(doc.GetLocalName(moved, ".txt"), 1);
  EXPECT_EQ(moved, plain.substr(0, plain.size() - 4) + ".txt");
  EXPECT_EQ(ReadFile(moved), "plain notes");
  EXPECT_FALSE(Exists(plain));
  ASSERT_EQ(doc.GetLocalName(again, ".TXT"), 1);
  EXPECT_EQ(again, moved);
}

TEST_F(UrlDocTest, AnExtensionOfOtherCaseDoesNotMove) {
  CUrlDoc doc(1);
  ASSERT_EQ(doc.SetUrl(Url("report.doc")), 1);
  std::string name, upper;
  ASSERT_EQ(doc.GetLocalName(name, nullptr), 1);
  ASSERT_EQ(name.substr(name.size() - 4), ".doc");
  ASSERT_EQ(doc.GetLocalName(upper, ".DOC"), 1);
  EXPECT_EQ(upper, name);
}

TEST_F(UrlDocTest, TheMoveNeverReplacesAnExistingFile) {
  CUrlDoc doc(1);
  ASSERT_EQ(doc.SetUrl(Url("notes.txt")), 1);
  std::string name, moved;
  ASSERT_EQ(doc.GetLocalName(name, nullptr), 1);
  const std::string victim = name.substr(0, name.size() - 4) + ".txt";
  WriteFile(victim, "someone else's");
  EXPECT_EQ(doc.GetLocalName(moved, ".txt"), 0);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(ReadFile(victim), "someone else's");
  unlink(victim.c_str());
}

TEST_F(UrlDocTest, DeleteOnEmptyDecidesWhetherTheFileSurvives) {
  std::string kept, removed;
  {
    CUrlDoc doc(1);
    ASSERT_EQ(doc.SetUrl(Url("notes.txt")), 1);
    ASSERT_EQ(doc.GetLocalName(removed, nullptr), 1);
  }
  EXPECT_FALSE(Exists(removed));
  {
    CUrlDoc doc(1);
    ASSERT_EQ(doc.SetUrl(Url("notes.txt")), 1);
    doc.SetDeleteOnEmpty(0);
    ASSERT_EQ(doc.GetLocalName(kept, ".txt"), 1);
  }
  EXPECT_EQ(ReadFile(kept), "plain notes");
  unlink(kept.c_str());
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(UrlDocTest, FailuresCarryTheirCodesAndStatusLines) {
  struct Case {
    std::string url;
    int32_t code;
    std::string message;
  };
  const Case cases[] = {
      {Url("missing.doc"), 2, "HTTP/1.1 404 Not Found\r"},
      {"http://127.0.0.1:" + std::to_string(FreePort()) + "/x.doc", 59, ""},
      {"", 1, ""},
      {"ftp://127.0.0.1/x.doc", 3, ""},
  };
  for (const Case& c : cases) {
    {
      CUrlDoc doc(1);
      EXPECT_EQ(doc.SetUrl(c.url), 0) << c.url;
      EXPECT_EQ(doc.GetErrorCode(), c.code) << c.url;
      EXPECT_EQ(GetLastError(), static_cast<uint32_t>(c.code));
      EXPECT_EQ(doc.GetErrorMessage(), c.message) << c.url;
    }
    // Whatever the server answered is gone with the document.
    EXPECT_TRUE(TempFiles().empty()) << c.url;
  }
}

TEST_F(UrlDocTest, ASecondFetchNeedsSetEmptyFirst) {
  CUrlDoc doc(1);
  ASSERT_EQ(doc.SetUrl(Url("notes.txt")), 1);
  EXPECT_EQ(doc.SetUrl(Url("notes.txt")), 0);
  EXPECT_EQ(doc.GetErrorCode(), -1);
  EXPECT_EQ(doc.GetErrorMessage(), "CUrlDoc::SetUrl() called while busy; use SetEmpty()!");
  doc.SetEmpty();
  EXPECT_EQ(doc.GetErrorCode(), 0);
  EXPECT_EQ(doc.SetUrl(Url("notes.txt")), 1);
}

TEST_F(UrlDocTest, LocalNameWithoutAFetchFails) {
  CUrlDoc doc(1);
  std::string name = "unchanged";
  EXPECT_EQ(doc.GetLocalName(name, ".doc"), 0);
  EXPECT_EQ(name, "unchanged");
  EXPECT_EQ(doc.DeleteLocalFile(), 1);
}

}  // namespace
