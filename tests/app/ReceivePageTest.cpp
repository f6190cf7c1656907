// The receive page's names and links, and publishing it into a root: once,
// page last, never over a file that is there.

#include <gtest/gtest.h>

#include "app/ReceivePage.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

TEST(ReceivePage, LinksCarryThePointerFileInBase64UrlAfterTheFolderOfItsUrl) {
  const std::string page = CReceivePage::PageName();
  const struct {
    std::string url, bytes, link;
  } cases[] = {
      // FB FF 00 shows both characters where base64url differs from base64.
      {"http://h/pub/a.txt", Bytes({0xFB, 0xFF, 0x00}), "http://h/pub/" + page + "#-_8A"},
      {"https://h:8443/x%20y/b", "a", "https://h:8443/x%20y/" + page + "#YQ"},
      {"http://h/c", "ab", "http://h/" + page + "#YWI"},
  };
  for (const auto& c : cases) EXPECT_EQ(CReceivePage::Link(c.url, c.bytes), c.link) << c.url;
}

TEST(ReceivePage, PageNamesAreTheStemWithItsSuffixesOfAnyVersion) {
  const std::string stem = CReceivePage::Stem();
  const struct {
    std::string name;
    bool page;
  } cases[] = {
      {stem + ".html", true},           {stem + ".js", true},
      {stem + ".wasm", true},           {stem + "-sw.js", true},
      {"quiver-receive-9.10.11.html", true}, {"quiver-receive-1.2.html", false},
      {stem + " (2).html", false},      {stem + "x.html", false},
      {"notes.txt", false},             {"x" + stem + ".html", false},
  };
  for (const auto& c : cases) EXPECT_EQ(CReceivePage::IsPageName(c.name), c.page) << c.name;
}

class ReceivePagePublishTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_built = MakeDir("web");
    m_www = MakeDir("www");
    std::string error;
    m_root = CPublishRoot::Open(m_www + "/", error);
    ASSERT_NE(m_root, nullptr) << error;
  }
  void Build(const std::string& suffix, const std::string& bytes) {
    WriteFile(m_built + "/" + CReceivePage::Stem() + suffix, bytes);
  }

  std::string m_built, m_www;
  std::unique_ptr<CPublishRoot> m_root;
};

TEST_F(ReceivePagePublishTest, EveryFileOnceThePageLastAndNothingOverwritten) {
  const std::string stem = CReceivePage::Stem();
  Build(".html", "<page>");
  Build(".wasm", std::string(200000, '\x7f'));
  Build("-sw.js", "worker");
  WriteFile(m_built + "/notes.txt", "not of the page");
  const CReceivePage page(m_built);
  EXPECT_EQ(page.Files(),
            std::vector<std::string>({stem + "-sw.js", stem + ".wasm", stem + ".html"}));

  WriteFile(m_www + "/" + stem + "-sw.js", "there before");
  ASSERT_TRUE(page.Publish(*m_root)) << m_root->Error();
  EXPECT_EQ(ListDir(m_www),
            std::vector<std::string>({stem + "-sw.js", stem + ".html", stem + ".wasm"}));
  EXPECT_EQ(ReadFile(m_www + "/" + stem + "-sw.js"), "there before");
  EXPECT_EQ(ReadFile(m_www + "/" + stem + ".wasm"), std::string(200000, '\x7f'));
  ASSERT_TRUE(page.Publish(*m_root)) << "a second time finds it all there";
  EXPECT_EQ(ListDir(m_www).size(), 3u);
}

TEST_F(ReceivePagePublishTest, NoPageBuiltPublishesNothing) {
  Build(".wasm", "parts without the page");
  const CReceivePage page(m_built);
  EXPECT_TRUE(page.Files().empty());
  EXPECT_FALSE(page.Publish(*m_root));
  EXPECT_EQ(m_root->Code(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(ListDir(m_www).empty());
}

}  // namespace
