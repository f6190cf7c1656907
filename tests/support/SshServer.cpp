#include "support/SshServer.h"

#include "support/NginxServer.h"
#include "support/TestFiles.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace testing_support {

namespace {

constexpr char kBinary[] = "/usr/sbin/sshd";

void MakeKey(const std::string& path) {
  Run("rm -f '" + path + "' '" + path + ".pub'");
  if (Run("ssh-keygen -q -t ed25519 -N '' -C quiver-test -f '" + path + "'") != 0) {
    throw std::runtime_error("ssh-keygen " + path);
  }
}

std::string SshDir() {
  const std::string dir = std::string(std::getenv("HOME")) + "/.ssh";
  mkdir(dir.c_str(), 0700);
  return dir;
}

// `root` and every process below it, found through the parents in /proc:
// sshd starts each connection in a session of its own.
std::vector<pid_t> ProcessTree(pid_t root) {
  std::vector<std::pair<pid_t, pid_t>> parents;
  for (const std::string& name : ListDir("/proc")) {
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    try {
      const std::string stat = ReadFile("/proc/" + name + "/stat");
      const size_t close = stat.rfind(')');
      parents.emplace_back(std::stoi(name), std::stoi(stat.substr(close + 4)));
    } catch (const std::exception&) {
      // The process ended while the list was read.
    }
  }
  std::vector<pid_t> tree = {root};
  for (size_t i = 0; i < tree.size(); ++i) {
    for (const auto& [pid, parent] : parents) {
      if (parent == tree[i]) tree.push_back(pid);
    }
  }
  return tree;
}

}  // namespace

bool CSshServer::Available() { return access(kBinary, X_OK) == 0; }

CSshServer::CSshServer(int lifetimeSeconds)
    : m_port(FreePort()), m_dir(MakeDir("sshd")), m_folder(MakeDir("sftp")) {
  // sshd started by root separates privileges into this directory.
  if (geteuid() == 0) mkdir("/run/sshd", 0755);
  MakeKey(m_dir + "/host_key");
  MakeKey(SshDir() + "/id_ed25519");
  Run("cp '" + SshDir() + "/id_ed25519.pub' '" + m_dir + "/authorized_keys'");
  const std::string conf = m_dir + "/sshd_config";
  WriteFile(conf, "ListenAddress 127.0.0.1:" + std::to_string(m_port) + "\nHostKey " + m_dir +
                      "/host_key\nAuthorizedKeysFile " + m_dir +
                      "/authorized_keys\nPidFile none\nStrictModes no\nUsePAM no\n"
                      "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                      "PermitRootLogin prohibit-password\nUseDNS no\nMaxStartups 64\n"
                      "Subsystem sftp internal-sftp\n");
  const int log = open((m_dir + "/sshd.log").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  m_process = std::make_unique<CChildProcess>(
      std::vector<std::string>{kBinary, "-D", "-e", "-f", conf}, lifetimeSeconds,
      std::vector<std::pair<int, int>>{{log, 2}});
  close(log);
  if (!WaitForPort(m_port, 10)) {
    throw std::runtime_error("sshd did not start: " + ReadFile(m_dir + "/sshd.log"));
  }
}

CSshServer::~CSshServer() { Kill(); }

std::string CSshServer::Root() const {
  return "sftp://127.0.0.1:" + std::to_string(m_port) + m_folder + "/";
}

void CSshServer::Trust(bool otherKey) const {
  std::string key = m_dir + "/host_key";
  if (otherKey) MakeKey(key = m_dir + "/other_key");
  WriteFile(SshDir() + "/known_hosts",
            "[127.0.0.1]:" + std::to_string(m_port) + " " + ReadFile(key + ".pub"));
}

std::string CSshServer::HostKeyFingerprint() const {
  Run("ssh-keygen -lf '" + m_dir + "/host_key.pub' > '" + m_dir + "/fingerprint'");
  const std::string line = ReadFile(m_dir + "/fingerprint");
  const size_t start = line.find(' ') + 1;
  return line.substr(start, line.find(' ', start) - start);
}

void CSshServer::Kill() {
  if (!m_process || !m_process->Running()) return;
  for (pid_t pid : ProcessTree(m_process->Pid())) kill(pid, SIGKILL);
  m_process->Wait();
}

}  // namespace testing_support
