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

// "user:password" as found, "none", or the error; the file made with `mode`, owned by `owner`.
std::string Find(const char* netrc, const char* host, const char* user, mode_t mode = 0600,
                 uid_t owner = getuid()) {
  const std::string path = NetrcPath();
  unlink(path.c_str());
  if (netrc) {
    testing_support::WriteFile(path, netrc);
    chmod(path.c_str(), mode);
    if (chown(path.c_str(), owner, static_cast<gid_t>(-1)) != 0) return "chown failed";
  }
  NetrcLogin login;
  std::string error = "stale";
  const bool found = FindNetrcLogin(host, user, login, error);
  return found ? login.user + ":" + login.password : error.empty() ? "none" : error;
}

TEST(NetrcTest, FindsTheFirstMatchingEntry) {
  const char* cases[][4] = {  // netrc, host, user, found
      {kNetrc, "a.example", "", "alice:p w\"1"},      {kNetrc, "b.example", "", "bob:first"},
      {kNetrc, "b.example", "carol", "carol:second"}, {kNetrc, "c.example", "", "dave x:q"},
      {kNetrc, "evil.example", "", "anon:guest"},     {kNetrc, "other.example", "", "anon:guest"},
      {kNetrc, "c.example", "zed", "none"},           {nullptr, "a.example", "", "none"},
      {"machine a.example password solo\n", "a.example", "me", "me:solo"}};
  for (const auto& c : cases) EXPECT_EQ(Find(c[0], c[1], c[2]), c[3]) << c[1] << " " << c[2];
}

TEST(NetrcTest, RefusesAFileOthersCanReachWithHowToMendIt) {
  const std::string path = NetrcPath();
  const std::string use = ": Quiver does not use it; ";
  const struct {
    mode_t mode;
    uid_t owner;
    std::string problem;
  } cases[] = {{0644, getuid(), " is readable by others (mode 0644)" + use},
               {0640, getuid(), " is readable by others (mode 0640)" + use},
               {0620, getuid(), " is writable by others (mode 0620)" + use},
               {0600, getuid() + 1, " belongs to another user" + use + "make it your own and "}};
  for (const auto& c : cases) {
    if (c.owner != getuid() && getuid() != 0) continue;  // only root can give a file away
    EXPECT_EQ(Find(kNetrc, "a.example", "", c.mode, c.owner),
              path + c.problem + "make it private with chmod 600 " + path + ".");
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
