// SFTP roots against a private OpenSSH server on 127.0.0.1.

#include "remote/SftpRoot.h"

#include "platform/SystemError.h"
#include "support/RemoveTree.h"
#include "support/SshServer.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <latch>
#include <thread>

using namespace testing_support;

namespace {

class SftpRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CSshServer::Available()) GTEST_SKIP() << "sshd is not installed";
    unsetenv("SSH_AUTH_SOCK");
    RemoveTree(SshDir());
    m_server = std::make_unique<CSshServer>();
    m_server->Trust();
  }

  static std::string SshDir() { return std::string(std::getenv("HOME")) + "/.ssh"; }
  std::unique_ptr<CSftpRoot> Root(const std::string& text = "") const {
    RemoteAddress address;
    std::string error;
    EXPECT_TRUE(RemoteAddress::Parse(text.empty() ? m_server->Root() : text, address, error));
    return std::make_unique<CSftpRoot>(address);
  }
  std::string File(const std::string& name) const { return m_server->Folder() + "/" + name; }
  // Writes `bytes` in uneven pieces, as an encoder hands them over.
  static bool Send(CRemoteUpload& upload, const std::string& bytes) {
    for (size_t at = 0; at < bytes.size(); at += 65521) {
      if (!upload.Write(Data(bytes) + at, std::min<size_t>(65521, bytes.size() - at))) return false;
    }
    return true;
  }
  // Whether an operation that needs the connection fails with `code`.
  static void ExpectConnectFails(CSftpRoot& root, uint32_t code) {
    int64_t size = 0;
    EXPECT_FALSE(root.Size("none", size));
    EXPECT_EQ(root.Code(), code) << root.Error();
    EXPECT_NE(root.Error().find(root.Address().Display()), std::string::npos) << root.Error();
  }

  std::unique_ptr<CSshServer> m_server;
};

TEST_F(SftpRootTest, StoresExactBytes) {
  auto root = Root();
  for (size_t size : {size_t{0}, size_t{1}, (size_t{5} << 20) + 7}) {
    const std::string name = "f" + std::to_string(size);
    const std::string bytes = RandomBytes(size, static_cast<uint32_t>(size));
    auto upload = root->Create(name);
    ASSERT_TRUE(upload) << root->Error();
    ASSERT_TRUE(Send(*upload, bytes) && upload->Finish()) << upload->Error();
    EXPECT_EQ(ReadFile(File(name)), bytes);
    int64_t stored = -1;
    EXPECT_TRUE(root->Size(name, stored)) << root->Error();
    EXPECT_EQ(stored, static_cast<int64_t>(size));
  }
}

TEST_F(SftpRootTest, RefusalsNameTheRootAndKeepFiles) {
  WriteFile(File("taken"), "keep");
  int64_t size = 0;
  const struct {
    std::string root;
    std::function<bool(CSftpRoot&)> operation;
    uint32_t code;
  } cases[] = {
      {"", [](CSftpRoot& r) { return r.Create("taken") != nullptr; }, ERROR_FILE_EXISTS},
      {m_server->Root() + "missing/", [](CSftpRoot& r) { return r.Create("x") != nullptr; },
       ERROR_PATH_NOT_FOUND},
      {"", [](CSftpRoot& r) { return r.Remove("absent"); }, ERROR_FILE_NOT_FOUND},
      {"", [&](CSftpRoot& r) { return r.Size("absent", size); }, ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    auto root = Root(c.root);
    EXPECT_FALSE(c.operation(*root));
    EXPECT_EQ(root->Code(), c.code) << root->Error();
    EXPECT_NE(root->Error().find(root->Address().Display()), std::string::npos) << root->Error();
  }
  EXPECT_EQ(ReadFile(File("taken")), "keep");
  EXPECT_TRUE(Root()->Remove("taken"));
  EXPECT_TRUE(ListDir(m_server->Folder()).empty());
}

TEST_F(SftpRootTest, ConcurrentCreatorsOfOneNameHaveOneWinner) {
  constexpr int kSenders = 8;
  std::vector<uint32_t> codes(kSenders, 1);
  std::latch connected(kSenders);
  std::vector<std::thread> senders;
  for (int i = 0; i < kSenders; ++i) {
    senders.emplace_back([&, i] {
      auto root = Root();
      int64_t size = 0;
      root->Size("same", size);
      connected.arrive_and_wait();
      auto upload = root->Create("same");
      const std::string text = "sender " + std::to_string(i);
      const bool sent = upload && upload->Write(Data(text), text.size()) && upload->Finish();
      codes[i] = sent ? 0 : root->Code();
    });
  }
  for (std::thread& sender : senders) sender.join();
  const auto winner = std::find(codes.begin(), codes.end(), 0u);
  ASSERT_NE(winner, codes.end());
  EXPECT_EQ(std::count(codes.begin(), codes.end(), ERROR_FILE_EXISTS), kSenders - 1);
  EXPECT_EQ(ReadFile(File("same")), "sender " + std::to_string(winner - codes.begin()));
}

TEST_F(SftpRootTest, UnfinishedUploadsLeaveNothing) {
  auto root = Root();
  for (bool abort : {true, false}) {
    auto upload = root->Create("partial");
    ASSERT_TRUE(upload) << root->Error();
    ASSERT_TRUE(Send(*upload, RandomBytes(3 << 20, 1))) << upload->Error();
    EXPECT_TRUE(Exists(File("partial")));
    if (abort) {
      EXPECT_TRUE(upload->Abort()) << upload->Error();
    }
    upload.reset();
    EXPECT_TRUE(ListDir(m_server->Folder()).empty());
  }
}

TEST_F(SftpRootTest, LogsInOnlyWithAnAcceptedKey) {
  const std::string key = SshDir() + "/id_ed25519";
  ASSERT_EQ(testing_support::Run("cp " + key + " " + key + ".good"), 0);
  CChildProcess agent({"ssh-agent", "-D", "-a", SshDir() + "/agent"}, 60);
  const struct {
    std::string change;
    uint32_t code;
  } cases[] = {
      {"ssh-keygen -q -t ed25519 -N '' -f " + key + ".bad && mv " + key + ".bad " + key,
       ERROR_ACCESS_DENIED},
      {"rm " + key, ERROR_ACCESS_DENIED},
      {"until SSH_AUTH_SOCK=" + SshDir() + "/agent ssh-add -q " + key +
           " 2>/dev/null; do sleep 0.1; done && rm " + key,
       ERROR_FILE_NOT_FOUND},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(testing_support::Run("cp " + key + ".good " + key + " && " + c.change), 0) << c.change;
    if (c.code == ERROR_FILE_NOT_FOUND) setenv("SSH_AUTH_SOCK", (SshDir() + "/agent").c_str(), 1);
    ExpectConnectFails(*Root(), c.code);
  }
}

TEST_F(SftpRootTest, UnknownHostKeyIsOfferedAndChangedOneRefused) {
  unlink((SshDir() + "/known_hosts").c_str());
  const std::string fingerprint = m_server->HostKeyFingerprint();
  auto unknown = Root();
  ExpectConnectFails(*unknown, ERROR_ACCESS_DENIED);
  EXPECT_EQ(unknown->UnknownHostKey(), fingerprint);
  EXPECT_NE(unknown->Error().find(fingerprint), std::string::npos);
  ASSERT_TRUE(unknown->TrustHostKey());
  // OpenSSH reads the added line, and libssh2 its hashed form.
  ASSERT_EQ(testing_support::Run("ssh-keygen -q -H -f " + SshDir() + "/known_hosts"), 0);
  ExpectConnectFails(*Root(), ERROR_FILE_NOT_FOUND);

  m_server->Trust(true);
  auto changed = Root();
  ExpectConnectFails(*changed, ERROR_ACCESS_DENIED);
  EXPECT_NE(changed->Error().find("changed"), std::string::npos);
  EXPECT_NE(changed->Error().find(fingerprint), std::string::npos);
  EXPECT_EQ(changed->UnknownHostKey(), "");
  EXPECT_FALSE(changed->TrustHostKey());
}

TEST_F(SftpRootTest, ServerKilledMidUploadFailsWithTheReason) {
  auto root = Root();
  auto upload = root->Create("cut");
  ASSERT_TRUE(upload) << root->Error();
  const std::string piece = RandomBytes(3 << 20, 2);
  ASSERT_TRUE(Send(*upload, piece)) << upload->Error();
  m_server->Kill();
  bool sent = true;
  for (int i = 0; i < 20 && sent; ++i) sent = Send(*upload, piece);
  EXPECT_FALSE(sent && upload->Finish());
  EXPECT_EQ(upload->Code(), ERROR_UNEXP_NET_ERR);
  EXPECT_NE(upload->Error().find(root->Address().Display()), std::string::npos);
  EXPECT_NE(upload->Error().find("\"cut\" stays"), std::string::npos) << upload->Error();
}

}  // namespace
