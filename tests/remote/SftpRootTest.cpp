// SFTP roots (remote/SftpRoot.h) against a private OpenSSH server on 127.0.0.1.

#include <gtest/gtest.h>

#include <functional>

#include "platform/SystemError.h"
#include "remote/PublishRoot.h"
#include "remote/ServerRootModule.h"
#include "support/RemoveTree.h"
#include "support/SshServer.h"
#include "support/TestFiles.h"

using namespace testing_support;

namespace {

CPublishRoot::NameSequence Names(std::vector<std::string> names) {
  return [names](unsigned i) { return i < names.size() ? names[i] : std::string(); };
}

// Writes `bytes` in uneven pieces, as an encoder hands them over.
bool Send(CPublishUpload& upload, const std::string& bytes) {
  bool sent = true;
  for (size_t at = 0; at < bytes.size() && sent; at += 65521) {
    sent = upload.Write(Data(bytes) + at, std::min<size_t>(65521, bytes.size() - at));
  }
  return sent;
}

void ExpectFailure(const CStatus& failure, bool succeeded, uint32_t code,
                   const std::string& words) {
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(failure.Code(), code) << failure.Error();
  EXPECT_NE(failure.Error().find(words), std::string::npos) << failure.Error();
}

class SftpRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CSshServer::Available()) GTEST_SKIP() << "sshd is not installed";
    unsetenv("SSH_AUTH_SOCK");
    RemoveTree(m_ssh);
    m_server = std::make_unique<CSshServer>();
    m_server->Trust();
  }
  // Through the entry of the module that these objects make, linked here.
  std::unique_ptr<CPublishRoot> Root(const std::string& suffix = "") const {
    std::string error;
    std::unique_ptr<CPublishRoot> root(QuiverOpenServerRoot(m_server->Root() + suffix, error));
    EXPECT_TRUE(root) << error;
    return root;
  }
  std::string File(const std::string& name) const { return m_server->Folder() + "/" + name; }

  const std::string m_ssh = std::string(std::getenv("HOME")) + "/.ssh";
  std::unique_ptr<CSshServer> m_server;
};

TEST_F(SftpRootTest, StoresExactBytesUnderTheFirstFreeName) {
  WriteFile(File("taken"), "keep");
  auto root = Root();
  EXPECT_TRUE(root->CheckExclusive()) << root->Error();
  for (size_t size : {size_t{0}, size_t{1}, (size_t{5} << 20) + 7}) {
    const std::string name = "f" + std::to_string(size), bytes = RandomBytes(size, 7);
    auto upload = root->Create(Names({"taken", name}));
    ASSERT_TRUE(upload) << root->Error();
    ASSERT_TRUE(Send(*upload, bytes) && upload->Finish()) << upload->Error();
    EXPECT_EQ(upload->Name(), name);
    EXPECT_EQ(ReadFile(File(name)), bytes);
    RootEntry stored;
    EXPECT_TRUE(root->Look(name, stored) && root->Remove(name)) << root->Error();
    EXPECT_EQ(stored.size, static_cast<int64_t>(size));
  }
  EXPECT_EQ(ReadFile(File("taken")), "keep");
  EXPECT_EQ(ListDir(m_server->Folder()), std::vector<std::string>{"taken"});
}

TEST_F(SftpRootTest, RefusalsNameTheRoot) {
  RootEntry entry;
  const auto finish = [](CPublishRoot& r) {
    auto upload = r.Create(Names({"x"}));
    return upload && (upload->Finish() || r.Fail(*upload));
  };
  const struct {
    std::string suffix;
    std::function<bool(CPublishRoot&)> operation;
    uint32_t code;
  } cases[] = {
      {"", finish, ERROR_TOO_MANY_OPEN_FILES},
      {"missing/", [](CPublishRoot& r) { return !!r.Create(Names({"x"})); }, ERROR_PATH_NOT_FOUND},
      {"", [](CPublishRoot& r) { return r.Remove("absent"); }, ERROR_FILE_NOT_FOUND},
      {"", [&](CPublishRoot& r) { return r.Look("absent", entry); }, ERROR_FILE_NOT_FOUND},
  };
  WriteFile(File("x"), "keep");
  for (const auto& c : cases) {
    auto root = Root(c.suffix);
    ExpectFailure(*root, c.operation(*root), c.code, root->Display());
  }
  EXPECT_EQ(ReadFile(File("x")), "keep");
  EXPECT_EQ(ListDir(m_server->Folder()), std::vector<std::string>{"x"});
}

TEST_F(SftpRootTest, UnfinishedUploadsLeaveNothing) {
  auto root = Root();
  for (bool abort : {true, false}) {
    auto upload = root->Create(Names({"partial"}));
    ASSERT_TRUE(upload && Send(*upload, RandomBytes(3 << 20, 1)));
    // The part sent so far waits under the work name, never the public one.
    EXPECT_EQ(ListDir(m_server->Folder()), std::vector<std::string>{upload->WorkName()});
    EXPECT_TRUE(!abort || upload->Abort()) << upload->Error();
    upload.reset();
    EXPECT_TRUE(ListDir(m_server->Folder()).empty());
  }
}

TEST_F(SftpRootTest, LogsInWithAnAcceptedKeyOnly) {
  const std::string key = m_ssh + "/id_ed25519", agent = m_ssh + "/agent";
  ASSERT_EQ(testing_support::Run("cp " + key + " " + key + ".good"), 0);
  for (const std::string& change :
       {"ssh-keygen -q -N '' -f " + key + ".bad && mv " + key + ".bad " + key, "rm " + key}) {
    ASSERT_EQ(testing_support::Run(change), 0);
    auto root = Root();
    ExpectFailure(*root, root->Connect(), ERROR_ACCESS_DENIED, "id_ed25519");
  }
  CChildProcess agentProcess({"sh", "-c", "exec ssh-agent -D -a " + agent + " >/dev/null"}, 60);
  ASSERT_EQ(testing_support::Run("timeout 10 sh -c 'until SSH_AUTH_SOCK=" + agent + " ssh-add -q " +
                                 key + ".good 2>/dev/null; do sleep 0.1; done'"),
            0);
  setenv("SSH_AUTH_SOCK", agent.c_str(), 1);
  EXPECT_TRUE(Root()->Connect());
}

TEST_F(SftpRootTest, UnknownHostKeyIsOfferedAndAChangedOneRefused) {
  unlink((m_ssh + "/known_hosts").c_str());
  const std::string fingerprint = m_server->HostKeyFingerprint();
  auto unknown = Root();
  ExpectFailure(*unknown, unknown->Connect(), ERROR_ACCESS_DENIED, fingerprint);
  EXPECT_EQ(unknown->UnknownHostKey(), fingerprint);
  ASSERT_TRUE(unknown->TrustHostKey());
  // OpenSSH reads the added line, and libssh2 its hashed form.
  ASSERT_EQ(testing_support::Run("ssh-keygen -q -H -f " + m_ssh + "/known_hosts >/dev/null 2>&1"),
            0);
  EXPECT_TRUE(Root()->Connect());

  m_server->Trust(true);
  auto changed = Root();
  ExpectFailure(*changed, changed->Connect(), ERROR_ACCESS_DENIED, "changed");
  EXPECT_NE(changed->Error().find(fingerprint), std::string::npos);
  EXPECT_EQ(changed->UnknownHostKey(), "");
  EXPECT_FALSE(changed->TrustHostKey());
}

}  // namespace
