#include "remote/SecretPasswords.h"
#include "support/ChildProcess.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {

namespace ts = testing_support;

// "user:password" as found for `root`, or "none".
std::string Find(const std::string& root) {
  RemoteAddress address;
  std::string error;
  NetrcLogin login;
  if (!RemoteAddress::Parse(root, address, error)) return error;
  return FindSecretLogin(address, login) ? login.user + ":" + login.password : "none";
}

// Stored: bob for dav 127.0.0.1:8080, carol for davs 127.0.0.1 without a port.
const std::pair<const char*, const char*> kSecrets[] = {
    {"dav://127.0.0.1:8080/pub/", "bob:pw bob"}, {"dav://bob@127.0.0.1:8080/", "bob:pw bob"},
    {"davs://127.0.0.1/", "carol:pw carol"},     {"dav://eve@127.0.0.1:8080/", "none"},
    {"dav://127.0.0.1:8081/", "none"},           {"davs://127.0.0.1:8443/", "none"},
};

// A private session bus with GNOME Keyring's Secret Service on it, its login
// keyring made and unlocked with a throw-away password.
TEST(SecretPasswordsTest, ReadsUnlockedNetworkPasswordsOnly) {
  if (ts::Run("command -v dbus-daemon gnome-keyring-daemon secret-tool gdbus >/dev/null") != 0) {
    GTEST_SKIP() << "no dbus-daemon, gnome-keyring, secret-tool or gdbus";
  }
  const std::string dir = ts::MakeDir("session");
  const std::string bus = "unix:path=" + dir + "/bus";
  ts::CChildProcess daemon({"dbus-daemon", "--session", "--nofork", "--address=" + bus}, 60);
  for (int i = 0; i < 100 && !ts::Exists(dir + "/bus"); ++i) usleep(50000);
  setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
  ts::WriteFile(dir + "/unlock", "x");
  const std::string keyringd =
      "exec gnome-keyring-daemon --unlock --components=secrets --foreground";
  ts::CChildProcess keyring({"sh", "-c", keyringd + " <" + dir + "/unlock"}, 60);
  // Waiting for the name keeps the bus from starting a second keyring by activation.
  ASSERT_EQ(ts::Run("gdbus wait --session --timeout 10 org.freedesktop.secrets"), 0);
  const std::string store =
      " | secret-tool store --label=t xdg:schema "
      "org.gnome.keyring.NetworkPassword server 127.0.0.1 protocol ";
  ASSERT_EQ(ts::Run("printf 'pw bob'" + store + "dav port 8080 user bob"), 0);
  ASSERT_EQ(ts::Run("printf 'pw carol'" + store + "davs user carol"), 0);
  for (const auto& [root, expected] : kSecrets) EXPECT_EQ(Find(root), expected) << root;
  ASSERT_EQ(ts::Run("gdbus call --session --dest org.freedesktop.secrets --object-path "
                    "/org/freedesktop/secrets --method org.freedesktop.Secret.Service.Lock "
                    "\"['/org/freedesktop/secrets/collection/login']\" >/dev/null"),
            0);
  EXPECT_EQ(Find(kSecrets[0].first), "none") << "a locked keyring is never asked to unlock";
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  EXPECT_EQ(Find(kSecrets[0].first), "none");
}

}  // namespace
