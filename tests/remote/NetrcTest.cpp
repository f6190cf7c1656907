#include "remote/Netrc.h"
#include "remote/WebTrust.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testing_support::WriteFile;

const char kNetrc[] =
    "# written by hand\n"
    "machine a.example login alice password \"p w\\\"1\"\n"
    "machine b.example\n  login bob\n  password first\n"
    "machine B.EXAMPLE login carol password second\n"
    "macdef init\nmachine evil.example login mallory password stolen\ncd /pub\n\n"
    "machine c.example account acct login \"dave x\" password q\n"
    "default login anon password guest\n";

struct LookupCase {
  const char* netrc;  // nullptr: no file
  const char* host;
  const char* user;
  bool found;
  const char* login = "";
  const char* password = "";
};

const LookupCase kLookups[] = {
    {kNetrc, "a.example", "", true, "alice", "p w\"1"},
    {kNetrc, "b.example", "", true, "bob", "first"},
    {kNetrc, "b.example", "carol", true, "carol", "second"},
    {kNetrc, "c.example", "", true, "dave x", "q"},
    {kNetrc, "evil.example", "", true, "anon", "guest"},
    {kNetrc, "elsewhere.example", "", true, "anon", "guest"},
    {kNetrc, "c.example", "zed", false},
    {"machine a.example password solo\n", "a.example", "me", true, "me", "solo"},
    {nullptr, "a.example", "", false},
};

std::string NetrcPath() { return std::string(std::getenv("HOME")) + "/.netrc"; }

TEST(NetrcTest, FindsTheFirstMatchingEntry) {
  for (const LookupCase& c : kLookups) {
    SCOPED_TRACE(std::string(c.host) + " " + c.user);
    unlink(NetrcPath().c_str());
    if (c.netrc) {
      WriteFile(NetrcPath(), c.netrc);
      chmod(NetrcPath().c_str(), 0600);
    }
    NetrcLogin login;
    std::string error = "stale";
    ASSERT_EQ(FindNetrcLogin(c.host, c.user, login, error), c.found);
    EXPECT_EQ(error, "");
    if (!c.found) continue;
    EXPECT_EQ(login.user, c.login);
    EXPECT_EQ(login.password, c.password);
  }
}

struct RefusalCase {
  mode_t mode;
  bool otherOwner;
  const char* problem;
};

const RefusalCase kRefusals[] = {
    {0644, false, " is readable by others (mode 0644): Quiver does not use it; "},
    {0640, false, " is readable by others (mode 0640): Quiver does not use it; "},
    {0620, false, " is writable by others (mode 0620): Quiver does not use it; "},
    {0600, true, " belongs to another user: Quiver does not use it; make it your own and "},
};

TEST(NetrcTest, RefusesAFileOthersCanReachWithHowToMendIt) {
  const std::string path = NetrcPath();
  for (const RefusalCase& c : kRefusals) {
    SCOPED_TRACE(c.problem);
    WriteFile(path, kNetrc);
    chmod(path.c_str(), c.mode);
    if (c.otherOwner && chown(path.c_str(), getuid() + 1, static_cast<gid_t>(-1)) != 0) {
      continue;  // only root can give a file away
    }
    NetrcLogin login;
    std::string error;
    EXPECT_FALSE(FindNetrcLogin("a.example", "", login, error));
    EXPECT_EQ(error, path + c.problem + "make it private with chmod 600 " + path + ".");
    unlink(path.c_str());
  }
}

TEST(WebTrustTest, ReadsCafileOfSectionNetworkWithoutRegardToCase) {
  const std::string ini = std::string(std::getenv("XDG_CONFIG_HOME")) + "/w3skua.ini";
  const std::pair<const char*, const char*> cases[] = {
      {"[proxy]\ncafile=/no\n[ Network ]\n; cafile=/no\n  CAFile =  /etc/ca one.pem \n", "/etc/ca one.pem"},
      {"[network]\ncafile_x=/no\n[other]\ncafile=/no\n", ""},
  };
  for (const auto& [text, expected] : cases) {
    WriteFile(ini, text);
    EXPECT_EQ(WebCaFile(), expected) << text;
  }
}

}  // namespace
