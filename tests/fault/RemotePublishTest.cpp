// Publishing to servers people run, with the quiver program: Apache
// mod_dav over http and TLS, nginx's dav module and OpenSSH (plain and
// chrooted) each take a send received byte for byte, the check and expiry,
// sixteen senders of one name, readers polling during an upload and a
// sender killed part way; rclone's WebDAV and SFTP servers, which create
// over existing files, are refused before anything is written. Refusals say
// why, and a send stopped by a signal or by the server going away leaves
// nothing under the name.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <thread>

#include "ProgramSettings.h"
#include "app/PointerDoc.h"
#include "app/PublishRegister.h"
#include "app/ReceivePage.h"
#include "support/ChildProcess.h"
#include "support/DavServer.h"
#include "support/NginxDavServer.h"
#include "support/NginxServer.h"
#include "support/RcloneDavServer.h"
#include "support/RcloneServer.h"
#include "support/RcloneSftpServer.h"
#include "support/SshServer.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

enum class Kind { Dav, Davs, NginxDav, Sftp, SftpChroot, RcloneDav, RcloneSftp };

bool IsSftp(Kind kind) {
  return kind == Kind::Sftp || kind == Kind::SftpChroot || kind == Kind::RcloneSftp;
}

std::unique_ptr<CDavSite> MakeDav(Kind kind) {
  switch (kind) {
    case Kind::Davs:
      return std::make_unique<CDavServer>(CDavServer::Transport::Https);
    case Kind::NginxDav:
      return std::make_unique<CNginxDavServer>();
    case Kind::RcloneDav:
      return std::make_unique<CRcloneDavServer>();
    default:
      return std::make_unique<CDavServer>();
  }
}

// A server to publish to, and the public web server that serves its folder.
class CSite {
 public:
  explicit CSite(Kind kind) : m_kind(kind) {
    if (kind == Kind::RcloneSftp) {
      m_rclone = std::make_unique<CRcloneSftpServer>();
    } else if (IsSftp(kind)) {
      m_ssh = std::make_unique<CSshServer>(kind == Kind::SftpChroot ? CSshServer::Layout::Chrooted
                                                                    : CSshServer::Layout::Plain);
    } else {
      m_dav = MakeDav(kind);
    }
    if (IsSftp(kind)) m_web = std::make_unique<CNginxServer>(Folder());
  }

  std::string FileRoot() const {
    return m_ssh ? m_ssh->Root() : m_rclone ? m_rclone->Root() : m_dav->FileRoot();
  }
  std::string UrlRoot() const { return m_web ? m_web->BaseUrl() : m_dav->UrlRoot(); }
  std::string Folder() const {
    return m_ssh ? m_ssh->Folder() : m_rclone ? m_rclone->Folder() : m_dav->Folder();
  }

  // Lets Quiver in: a private ~/.netrc and the test authority, or the host
  // key in ~/.ssh/known_hosts.
  void Admit() const {
    if (m_ssh) return m_ssh->Trust();
    if (m_rclone) return m_rclone->Trust();
    const std::string netrc = std::string(getenv("HOME")) + "/.netrc";
    WriteFile(netrc, "machine 127.0.0.1 login " + m_dav->User() + " password \"" +
                         m_dav->Password() + "\"\n");
    chmod(netrc.c_str(), 0600);
    WriteFile(std::string(getenv("XDG_CONFIG_HOME")) + "/w3skua.ini",
              "[network]\ncafile=" + m_dav->CaFile() + "\n");
  }

  void Kill() { m_ssh ? m_ssh->Kill() : m_rclone ? m_rclone->Kill() : m_dav->Kill(); }
  void Restart() { m_ssh ? m_ssh->Restart() : m_rclone ? m_rclone->Restart() : m_dav->Restart(); }

  // The names in the folder that sends gave, less Apache's own temporary
  // files.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const std::string& name : ListSent(Folder())) {
      if (name.rfind(".davfs.tmp", 0) != 0) names.push_back(name);
    }
    return names;
  }
  // Whether the folder holds the receive page whole, as it was built.
  bool HoldsThePage() const {
    const CReceivePage page(QUIVER_WEB_PAGE_DIR);
    const std::vector<std::string> files = page.Files();
    return !files.empty() && std::all_of(files.begin(), files.end(), [&](const std::string& name) {
      std::string built;
      return page.Read(name, built) && Exists(Folder() + "/" + name) &&
             ReadFile(Folder() + "/" + name) == built;
    });
  }

  CSshServer* Ssh() const { return m_ssh.get(); }
  std::string Port() const { return std::to_string(m_dav->Port()); }

 private:
  Kind m_kind;
  std::unique_ptr<CDavSite> m_dav;
  std::unique_ptr<CSshServer> m_ssh;
  std::unique_ptr<CRcloneSftpServer> m_rclone;
  std::unique_ptr<CNginxServer> m_web;
};

class RemotePublishTest : public testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (!CDavServer::Available() || !CSshServer::Available() || !CRcloneServer::Available()) {
      GTEST_SKIP() << "no servers here";
    }
    if (GetParam() == Kind::SftpChroot && geteuid() != 0) GTEST_SKIP() << "a chroot needs root";
    // A register of its own: a later server may get an earlier one's port.
    setenv("XDG_DATA_HOME", MakeDir("data").c_str(), 1);
    m_site = std::make_unique<CSite>(GetParam());
    m_site->Admit();
    m_src = MakeDir("src");
  }

  void Settings(int compress, int encrypt) {
    std::string root = m_site->FileRoot();
    root.pop_back();  // the settings writer adds the "/"
    WriteProgramSettings(m_site->UrlRoot(), root, compress, encrypt);
  }

  std::string Source(const std::string& name, size_t size) {
    const std::string path = m_src + "/" + name;
    WriteFile(path, RandomBytes(size, static_cast<uint32_t>(size)));
    return path;
  }

  std::unique_ptr<CSite> m_site;
  std::string m_src;
};

std::string ReadPointer(const std::string& path, std::string& received) {
  CPointerDoc doc;
  std::string local;
  if (doc.ReadFromFile(path) && doc.FetchToTempFile(local)) received = ReadFile(local);
  return doc.GetUrl();
}

TEST_P(RemotePublishTest, SendsReceivesChecksAndExpires) {
  Settings(1, 2);
  // Uploads go through the web access library's proxy alone, never one
  // that the environment names (nothing listens there).
  setenv("http_proxy", "http://127.0.0.1:9/", 1);
  setenv("https_proxy", "http://127.0.0.1:9/", 1);
  const std::string source = Source("report.pdf", 3 << 20);
  ASSERT_EQ(RunQuiver({"-s", source}).status, 0);
  std::string received;
  const std::string url = ReadPointer(m_src + "/report.qvr", received);
  EXPECT_EQ(url, m_site->UrlRoot() + "report.pdf");
  EXPECT_TRUE(received == ReadFile(source)) << received.size() << " bytes received";

  const ProgramOutcome check = RunQuiver({"--check"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("Publishing works."), std::string::npos) << check.out;
  EXPECT_NE(check.out.find(QUIVER_PAGE_BUILT ? "ok: the receive page"
                                             : "warning: this Quiver was built without its "
                                               "receive page."),
            std::string::npos)
      << check.out;

  ASSERT_EQ(testing_support::Run("sqlite3 '" + CPublishRegister::DefaultPath() +
                                 "' 'UPDATE published SET time = time - 864000'"),
            0);
  const ProgramOutcome expire = RunQuiver({"--expire", "5"});
  EXPECT_EQ(expire.status, 0) << expire.err;
  EXPECT_EQ(expire.out, "Expired " + url + "\n");
  EXPECT_EQ(m_site->Names(), std::vector<std::string>());
}

TEST_P(RemotePublishTest, SixteenSendersOfOneNameGetSixteenNamesAndLeaveTheOldFile) {
  constexpr int kSenders = 16;
  Settings(0, 0);
  const std::string source = Source("same.bin", 256 << 10);
  ASSERT_EQ(testing_support::Run("echo old > '" + m_site->Folder() + "/same.bin'"), 0);
  std::vector<std::thread> senders;
  std::vector<ProgramOutcome> runs(kSenders);
  for (int i = 0; i < kSenders; ++i) {
    senders.emplace_back([&, i] {
      runs[i] = RunQuiver({"-s", source, m_src + "/p" + std::to_string(i) + ".qvr"});
    });
  }
  for (std::thread& sender : senders) sender.join();
  for (const ProgramOutcome& run : runs) EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(m_site->HoldsThePage(), QUIVER_PAGE_BUILT != 0)
      << "every sender publishes it, exclusively";
  std::set<std::string> urls;
  for (int i = 0; i < kSenders; ++i) {
    std::string received;
    urls.insert(ReadPointer(m_src + "/p" + std::to_string(i) + ".qvr", received));
    EXPECT_TRUE(received == ReadFile(source)) << "sender " << i;
  }
  EXPECT_EQ(urls.size(), size_t{kSenders});
  EXPECT_EQ(ReadFile(m_site->Folder() + "/same.bin"), "old\n");
  EXPECT_EQ(m_site->Names().size(), size_t{kSenders + 1});
}

struct Refusal {
  Kind kind;
  const char* what;
  std::function<void(CSite&)> spoil;
  const char* said;  // part of the message; "%fingerprint" for the host key's
};

TEST_P(RemotePublishTest, RefusalsSayWhyAndLeaveNothing) {
  const std::string home = getenv("HOME");
  const std::string proxyLog = MakeDir("proxy") + "/log";
  std::unique_ptr<CChildProcess> proxy;
  const auto write = [](const std::string& path, const std::string& text, mode_t mode) {
    WriteFile(path, text);
    chmod(path.c_str(), mode);
  };
  const Refusal refusals[] = {
      {Kind::Dav, "no password", [&](CSite&) { unlink((home + "/.netrc").c_str()); },
       "It asks for a password. Put \"machine 127.0.0.1 login USER password PASSWORD\""},
      {Kind::Dav, "wrong password",
       [&](CSite&) { write(home + "/.netrc", "machine 127.0.0.1 login sender password x", 0600); },
       "It refused the user sender"},
      {Kind::Dav, "netrc open to others", [&](CSite&) { chmod((home + "/.netrc").c_str(), 0644); },
       "is readable by others (mode 0644): Quiver does not use it"},
      // socat forwards what it gets, as a proxy of plain http does, and
      // logs it.
      {Kind::Dav, "password through a proxy",
       [&](CSite& site) {
         const int port = FreePort();
         proxy = std::make_unique<CChildProcess>(
             std::vector<std::string>{
                 "sh", "-c",
                 "exec socat -v TCP-LISTEN:" + std::to_string(port) +
                     ",bind=127.0.0.1,fork,reuseaddr TCP:127.0.0.1:" + site.Port() + " 2>" +
                     proxyLog},
             60);
         ASSERT_TRUE(WaitForPort(port, 10));
         WriteFile(std::string(getenv("XDG_CONFIG_HOME")) + "/w3skua.ini",
                   "[proxy information]\nhttp_proxy=127.0.0.1:" + std::to_string(port) + "\n");
       },
       "Quiver sends no password over plain http through the proxy http://127.0.0.1:"},
      {Kind::NginxDav, "no password", [&](CSite&) { unlink((home + "/.netrc").c_str()); },
       "It asks for a password."},
      {Kind::Davs, "untrusted certificate",
       [](CSite&) { unlink((std::string(getenv("XDG_CONFIG_HOME")) + "/w3skua.ini").c_str()); },
       "The certificate of 127.0.0.1 is not trusted"},
      {Kind::Sftp, "unknown host key",
       [&](CSite&) { unlink((home + "/.ssh/known_hosts").c_str()); }, "%fingerprint"},
      {Kind::Sftp, "no key", [&](CSite&) { unlink((home + "/.ssh/id_ed25519").c_str()); },
       "refused"},
      {Kind::SftpChroot, "unknown host key",
       [&](CSite&) { unlink((home + "/.ssh/known_hosts").c_str()); }, "%fingerprint"},
  };
  Settings(0, 0);
  const std::string source = Source("refused.txt", 1000);
  const auto mine = [&](const Refusal& refusal) { return refusal.kind == GetParam(); };
  for (const Refusal& refusal : refusals) {
    if (!mine(refusal)) continue;
    SCOPED_TRACE(refusal.what);
    m_site->Admit();
    refusal.spoil(*m_site);
    const ProgramOutcome run = RunQuiver({"-s", source});
    EXPECT_EQ(run.status, 1);
    const std::string said = std::string(refusal.said) == "%fingerprint"
                                 ? m_site->Ssh()->HostKeyFingerprint()
                                 : refusal.said;
    EXPECT_NE(run.err.find(said), std::string::npos) << run.err;
    EXPECT_EQ(m_site->Names(), std::vector<std::string>());
    EXPECT_FALSE(Exists(m_src + "/refused.qvr"));
  }
  if (proxy) {
    const std::string relayed = ReadFile(proxyLog);
    EXPECT_NE(relayed.find("MKCOL http://127.0.0.1:"), std::string::npos) << relayed;
    EXPECT_EQ(relayed.find("Authorization"), std::string::npos) << relayed;
  }
}

// The shell commands that wait, up to 20 s, until an upload is under way:
// the register records it as claimed.
std::string UntilUnderWay() {
  return "for i in $(seq 1000); do sqlite3 '" + CPublishRegister::DefaultPath() +
         "' \"SELECT 1 FROM published WHERE state = 'claimed'\" 2>/dev/null | grep -q 1 && "
         "break; sleep 0.02; done; ";
}

TEST_P(RemotePublishTest, AStoppedUploadLeavesNothingUnderTheName) {
  Settings(0, 0);
  // A size that costs no disk here and is still under way when stopped.
  ASSERT_EQ(testing_support::Run("truncate -s 3G '" + m_src + "/huge.bin'"), 0);
  const std::string send = "env --default-signal " QUIVER_EXECUTABLE " -s '" + m_src +
                           "/huge.bin' 2>/dev/null & " + UntilUnderWay();
  const struct {
    const char* signal;
    int status;
  } stops[] = {{"TERM", 143}, {"KILL", 137}};
  for (const auto& stop : stops) {
    SCOPED_TRACE(stop.signal);
    EXPECT_EQ(testing_support::Run(send + "kill -" + stop.signal + " $!; wait $! 2>/dev/null"),
              stop.status);
    // A killed sender's claim goes once its process is gone.
    const ProgramOutcome expire = RunQuiver({"--expire", "30"});
    EXPECT_EQ(expire.status, 0) << expire.err;
    EXPECT_EQ(m_site->Names(), std::vector<std::string>());
  }

  std::thread stopper([&] {
    testing_support::Run(UntilUnderWay());
    m_site->Kill();
  });
  const ProgramOutcome cut = RunQuiver({"-s", m_src + "/huge.bin"});
  stopper.join();
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("stays"), std::string::npos) << cut.err;
  m_site->Restart();
  const ProgramOutcome expire = RunQuiver({"--expire", "30"});
  EXPECT_EQ(expire.status, 0) << expire.err;
  EXPECT_NE(expire.out.find("(left by a failed send)"), std::string::npos) << expire.out;
  EXPECT_EQ(m_site->Names(), std::vector<std::string>());
  EXPECT_FALSE(Exists(m_src + "/huge.qvr"));
}

TEST_P(RemotePublishTest, ReadersNeverGetPartOfAFile) {
  Settings(0, 0);
  constexpr long long kSize = 64LL << 20;
  ASSERT_EQ(testing_support::Run("truncate -s " + std::to_string(kSize) + " '" + m_src +
                                 "/big.bin'"),
            0);
  const std::string stop = m_src + "/stop", log = m_src + "/polls";
  std::thread reader([&] {
    testing_support::Run("until [ -e '" + stop + "' ]; do curl -k -s -o /dev/null -w " +
                         "'%{http_code} %{size_download}\\n' '" + m_site->UrlRoot() +
                         "big.bin'; done > '" + log + "'");
  });
  const ProgramOutcome send = RunQuiver({"-s", m_src + "/big.bin"});
  WriteFile(stop, "");
  reader.join();
  EXPECT_EQ(send.status, 0) << send.err;
  std::istringstream polls(ReadFile(log));
  int status = 0, polled = 0;
  long long size = 0;
  while (polls >> status >> size) {
    ++polled;
    if (status == 200) {
      EXPECT_EQ(size, kSize);
    }
  }
  EXPECT_GT(polled, 0);
  EXPECT_EQ(m_site->Names(), std::vector<std::string>{"big.bin"});
}

using OverwritingServerTest = RemotePublishTest;

TEST_P(OverwritingServerTest, IsRefusedBeforeAnythingIsWritten) {
  Settings(0, 0);
  const std::string source = Source("doc.bin", 1000);
  ASSERT_EQ(testing_support::Run("echo old > '" + m_site->Folder() + "/doc.bin'"), 0);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"-s", source}, std::vector<std::string>{"--check"}}) {
    SCOPED_TRACE(args[0]);
    const ProgramOutcome run = RunQuiver(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE((run.out + run.err).find("Quiver does not publish there"), std::string::npos)
        << run.out << run.err;
    EXPECT_EQ(m_site->Names(), std::vector<std::string>{"doc.bin"});
    EXPECT_EQ(ReadFile(m_site->Folder() + "/doc.bin"), "old\n");
  }
  EXPECT_FALSE(Exists(m_src + "/doc.qvr"));
}

std::string KindName(const testing::TestParamInfo<Kind>& info) {
  static const char* const kNames[] = {"ApacheWebDav",      "ApacheWebDavTls", "NginxWebDav",
                                       "OpenSshSftp",       "OpenSshSftpChroot", "RcloneWebDav",
                                       "RcloneSftp"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Servers, RemotePublishTest,
                         testing::Values(Kind::Dav, Kind::Davs, Kind::NginxDav, Kind::Sftp,
                                         Kind::SftpChroot),
                         KindName);
INSTANTIATE_TEST_SUITE_P(Servers, OverwritingServerTest,
                         testing::Values(Kind::RcloneDav, Kind::RcloneSftp), KindName);

}  // namespace
