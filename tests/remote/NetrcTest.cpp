#include "remote/Netrc.h"
#include "remote/WebTrust.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kNetrc[] =
    "# written by hand\nmachine a.example login alice password \"p w\\\"1\"\n"
    "machine b.example\n  login bob\n  password first\n"
    "machine B.EXAMPLE login carol password second\n"
    "macdef init\nmachine evil.example login mallory password stolen\ncd /pub\n\n"
    "machine c.example account acct login \"dave x\" password q\n"
    "default login anon password guest\n";

// Read when called: the test main points HOME at a private folder first.
std::string NetrcPath() { return std::string(std::getenv("HOME")) + "/.netrc"; }

// "user:password" as found, "none", or the error; the file written with `mode`.
std::string Find(const char* netrc, const char* host, const char* user, mode_t mode = 0600) {
  const std::string path = NetrcPath();
  unlink(path.c_str());
  if (netrc) testing_support::WriteFile(path, netrc);
  chmod(path.c_str(), mode);
  NetrcLogin login;
  std::string error = "stale";
  const bool found = FindNetrcLogin(host, user, login, error);
  return found ? login.user + ":" + login.password : error.empty() ? "none" : error;
}

TEST(NetrcTest, FindsTheFirstMatchingEntry) {
  const struct {
    const char* netrc;
    const char* host;
    const char* user;
    const char* expected;
  } cases[] = {
      {kNetrc, "a.example", "", "alice:p w\"1"},
      {kNetrc, "b.example", "", "bob:first"},
      {kNetrc, "b.example", "carol", "carol:second"},
      {kNetrc, "c.example", "", "dave x:q"},
      {kNetrc, "evil.example", "", "anon:guest"},
      {kNetrc, "elsewhere.example", "", "anon:guest"},
      {kNetrc, "c.example", "zed", "none"},
      {nullptr, "a.example", "", "none"},
      {"machine a.example password solo\n", "a.example", "me", "me:solo"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Find(c.netrc, c.host, c.user), c.expected) << c.host << " " << c.user;
}

TEST(NetrcTest, RefusesAFileOthersCanReachWithHowToMendIt) {
  const std::string path = NetrcPath();
  const std::string mend = "make it private with chmod 600 " + path + ".";
  for (mode_t mode : {0644, 0640, 0620}) {
    char text[64];
    snprintf(text, sizeof text, " is %s by others (mode %04o): Quiver does not use it; ",
             mode & 044 ? "readable" : "writable", mode);
    EXPECT_EQ(Find(kNetrc, "a.example", "", mode), path + text + mend);
  }
  // Only root can give the file away.
  if (getuid() == 0 && chown(path.c_str(), 1, 1) == 0) {
    chmod(path.c_str(), 0600);
    NetrcLogin login;
    std::string error;
    EXPECT_FALSE(FindNetrcLogin("a.example", "", login, error));
    EXPECT_EQ(
        error,
        path + " belongs to another user: Quiver does not use it; make it your own and " + mend);
  }
}

TEST(WebTrustTest, ReadsCafileOfSectionNetworkWithoutRegardToCase) {
  const std::string ini = std::string(std::getenv("XDG_CONFIG_HOME")) + "/w3skua.ini";
  testing_support::WriteFile(
      ini, "[proxy]\ncafile=/no\n[ Network ]\n; cafile=/no\n  CAFile =  /etc/ca one.pem \n");
  EXPECT_EQ(WebCaFile(), "/etc/ca one.pem");
  testing_support::WriteFile(ini, "[network]\ncafile_x=/no\n[other]\ncafile=/no\n");
  EXPECT_EQ(WebCaFile(), "");
}

}  // namespace
