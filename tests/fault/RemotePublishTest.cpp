// Publishing to servers, with the quiver program against a private Apache
// mod_dav (over http and over TLS) and a private OpenSSH sftp server: a send
// received byte for byte, the check and expiry, eight senders of one name,
// refusals that say why, and a send stopped part way by a signal or by the
// server going away, which must leave nothing under the name.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "ProgramSettings.h"
#include "app/PointerDoc.h"
#include "app/PublishRegister.h"
#include "support/DavServer.h"
#include "support/NginxServer.h"
#include "support/SshServer.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

enum class Kind { Dav, Davs, Sftp };

// A server to publish to, and the public web server that serves its folder.
class CSite {
 public:
  explicit CSite(Kind kind) : m_kind(kind) {
    if (kind == Kind::Sftp) {
      m_ssh = std::make_unique<CSshServer>();
      m_web = std::make_unique<CNginxServer>(m_ssh->Folder());
    } else {
      m_dav = std::make_unique<CDavServer>(kind == Kind::Davs ? CDavServer::Transport::Https
                                                              : CDavServer::Transport::Http);
    }
  }

  std::string FileRoot() const { return m_ssh ? m_ssh->Root() : m_dav->FileRoot(); }
  std::string UrlRoot() const { return m_ssh ? m_web->BaseUrl() : m_dav->UrlRoot(); }
  std::string Folder() const { return m_ssh ? m_ssh->Folder() : m_dav->Folder(); }

  // Lets Quiver in: a private ~/.netrc and the test authority, or the host
  // key in ~/.ssh/known_hosts.
  void Admit() const {
    if (m_ssh) return m_ssh->Trust();
    const std::string netrc = std::string(getenv("HOME")) + "/.netrc";
    WriteFile(netrc, "machine 127.0.0.1 login " + m_dav->User() + " password \"" +
                         m_dav->Password() + "\"\n");
    chmod(netrc.c_str(), 0600);
    WriteFile(std::string(getenv("XDG_CONFIG_HOME")) + "/w3skua.ini",
              "[network]\ncafile=" + m_dav->CaFile() + "\n");
  }

  void Kill() { m_ssh ? m_ssh->Kill() : m_dav->Kill(); }
  void Restart() { m_ssh ? m_ssh->Restart() : m_dav->Restart(); }

  // The names in the folder, less the server's own temporary files.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const std::string& name : ListDir(Folder())) {
      if (name.rfind(".davfs.tmp", 0) != 0) names.push_back(name);
    }
    return names;
  }

  Kind GetKind() const { return m_kind; }
  CSshServer* Ssh() const { return m_ssh.get(); }

 private:
  Kind m_kind;
  std::unique_ptr<CDavServer> m_dav;
  std::unique_ptr<CSshServer> m_ssh;
  std::unique_ptr<CNginxServer> m_web;
};

class RemotePublishTest : public testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    if (!CDavServer::Available() || !CSshServer::Available()) GTEST_SKIP() << "no servers here";
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
  const std::string source = Source("report.pdf", 3 << 20);
  ASSERT_EQ(RunQuiver({"-s", source}).status, 0);
  std::string received;
  const std::string url = ReadPointer(m_src + "/report.qvr", received);
  EXPECT_EQ(url, m_site->UrlRoot() + "report.pdf");
  EXPECT_TRUE(received == ReadFile(source)) << received.size() << " bytes received";

  const ProgramOutcome check = RunQuiver({"--check"});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("Publishing works."), std::string::npos) << check.out;

  ASSERT_EQ(testing_support::Run("sqlite3 '" + CPublishRegister::DefaultPath() +
                                 "' 'UPDATE published SET time = time - 864000'"),
            0);
  const ProgramOutcome expire = RunQuiver({"--expire", "5"});
  EXPECT_EQ(expire.status, 0) << expire.err;
  EXPECT_EQ(expire.out, "Expired " + url + "\n");
  EXPECT_EQ(m_site->Names(), std::vector<std::string>());
}

TEST_P(RemotePublishTest, EightSendersOfOneNameGetEightNamesAndLeaveTheOldFile) {
  Settings(0, 0);
  const std::string source = Source("same.bin", 1 << 20);
  ASSERT_EQ(testing_support::Run("echo old > '" + m_site->Folder() + "/same.bin'"), 0);
  std::vector<std::thread> senders;
  std::vector<ProgramOutcome> runs(8);
  for (int i = 0; i < 8; ++i) {
    senders.emplace_back([&, i] {
      runs[i] = RunQuiver({"-s", source, m_src + "/p" + std::to_string(i) + ".qvr"});
    });
  }
  for (std::thread& sender : senders) sender.join();
  for (const ProgramOutcome& run : runs) EXPECT_EQ(run.status, 0) << run.err;
  std::set<std::string> urls;
  for (int i = 0; i < 8; ++i) {
    std::string received;
    urls.insert(ReadPointer(m_src + "/p" + std::to_string(i) + ".qvr", received));
    EXPECT_TRUE(received == ReadFile(source)) << "sender " << i;
  }
  EXPECT_EQ(urls.size(), 8u);
  EXPECT_EQ(ReadFile(m_site->Folder() + "/same.bin"), "old\n");
  EXPECT_EQ(m_site->Names().size(), 9u);
}

struct Refusal {
  Kind kind;
  const char* what;
  std::function<void(CSite&)> spoil;
  const char* said;  // part of the message; "%fingerprint" for the host key's
};

TEST_P(RemotePublishTest, RefusalsSayWhyAndLeaveNothing) {
  const std::string home = getenv("HOME");
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
      {Kind::Davs, "untrusted certificate",
       [](CSite&) { unlink((std::string(getenv("XDG_CONFIG_HOME")) + "/w3skua.ini").c_str()); },
       "The certificate of 127.0.0.1 is not trusted"},
      {Kind::Sftp, "unknown host key",
       [&](CSite&) { unlink((home + "/.ssh/known_hosts").c_str()); }, "%fingerprint"},
      {Kind::Sftp, "no key", [&](CSite&) { unlink((home + "/.ssh/id_ed25519").c_str()); },
       "refused"},
  };
  Settings(0, 0);
  const std::string source = Source("refused.txt", 1000);
  for (const Refusal& refusal : refusals) {
    if (refusal.kind != GetParam()) continue;
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
}

TEST_P(RemotePublishTest, AStoppedUploadLeavesNothingUnderTheName) {
  Settings(0, 0);
  // A size that costs no disk here and is still under way when stopped.
  ASSERT_EQ(testing_support::Run("truncate -s 3G '" + m_src + "/huge.bin'"), 0);
  const std::string send = "env --default-signal " QUIVER_EXECUTABLE " -s '" + m_src + "/huge.bin'";

  EXPECT_EQ(testing_support::Run(send + " 2>/dev/null & sleep 1.5; kill -TERM $!; wait $!"), 143);
  EXPECT_EQ(m_site->Names(), std::vector<std::string>());

  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
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

INSTANTIATE_TEST_SUITE_P(Servers, RemotePublishTest,
                         testing::Values(Kind::Dav, Kind::Davs, Kind::Sftp),
                         [](const testing::TestParamInfo<Kind>& info) {
                           return std::string(info.param == Kind::Dav    ? "WebDav"
                                              : info.param == Kind::Davs ? "WebDavTls"
                                                                         : "Sftp");
                         });

}  // namespace
