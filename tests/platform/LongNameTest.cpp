#include "platform/LongName.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <climits>
#include <sys/stat.h>

using namespace testing_support;

namespace {

TEST(LongName, ExpandsTheLastComponentOnly) {
  const std::string dir = MakeDir("long");
  for (const char* name : {"b report.doc", "a report.doc", "notes.txt", "[x].doc", "README",
                           "report1.qvr", "bx.doc", "a\\b.txt", "ab.txt"}) {
    WriteFile(dir + "/" + name, "");
  }
  mkdir((dir + "/sub*dir").c_str(), 0700);
  const std::pair<std::string, std::string> cases[] = {
      {dir + "/*.doc", dir + "/[x].doc"},
      {dir + "/?\?report.doc", dir + "/a report.doc"},
      {dir + "/notes.txt", dir + "/notes.txt"},
      {dir + "/[x].doc", dir + "/[x].doc"},
      {dir + "/READ*", dir + "/README"},
      {dir + "/*.pdf", dir + "/*.pdf"},
      {dir + "/report[1].qvr", dir + "/report[1].qvr"},
      {dir + "/b[x].doc", dir + "/b[x].doc"},
      {dir + "/[a-z]*", dir + "/[a-z]*"},
      {dir + "/a\\?.txt", dir + "/a\\b.txt"},
      {dir + "/*1.q?r", dir + "/report1.qvr"},
      {dir + "/nowhere/*.doc", dir + "/nowhere/*.doc"},
      {dir + "/sub*dir", dir + "/sub*dir"},
      {dir + "/", dir + "/"},
      {"relative/*.doc", "relative/*.doc"},
      {"*.doc", "*.doc"},
      {"", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(ExpandLongPath(in), out) << in;
}

TEST(LongName, OverlongAndOddPathsComeBackUnchanged) {
  const std::string dir = MakeDir("odd");
  WriteFile(dir + "/caf\xe9\n.txt", "");
  EXPECT_EQ(ExpandLongPath(dir + "/caf?\n.txt"), dir + "/caf\xe9\n.txt");
  const std::string overlong = "/" + std::string(PATH_MAX + 10, 'a') + "/*";
  EXPECT_EQ(ExpandLongPath(overlong), overlong);
}

}  // namespace
