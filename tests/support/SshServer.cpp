#include "support/SshServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "support/NginxServer.h"
#include "support/TestFiles.h"

namespace testing_support {

namespace {

std::string MakeKey(const std::string& path) {
  if (Run("rm -f " + path + "*; ssh-keygen -q -t ed25519 -N '' -f " + path) != 0) {
    throw std::runtime_error("ssh-keygen " + path);
  }
  return path;
}

std::string SshDir() {
  const std::string dir = std::string(std::getenv("HOME")) + "/.ssh";
  mkdir(dir.c_str(), 0700);
  return dir;
}

}  // namespace

bool CSshServer::Available() { return access("/usr/sbin/sshd", X_OK) == 0; }

CSshServer::CSshServer(int lifetimeSeconds)
    : m_port(FreePort()),
      m_lifetimeSeconds(lifetimeSeconds),
      m_dir(MakeDir("sshd")),
      m_folder(MakeDir("sftp")) {
  if (geteuid() == 0) mkdir("/run/sshd", 0755);  // where root's sshd separates privileges
  const std::string conf = m_dir + "/sshd_config", user = MakeKey(SshDir() + "/id_ed25519");
  WriteFile(conf, "ListenAddress 127.0.0.1:" + std::to_string(m_port) + "\nHostKey " +
                      MakeKey(m_dir + "/host_key") + "\nAuthorizedKeysFile " + user +
                      ".pub\nPidFile none\nStrictModes no\nUsePAM no\nUseDNS no\n"
                      "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                      "PermitRootLogin prohibit-password\nMaxStartups 64\n"
                      "Subsystem sftp internal-sftp\n");
  Restart();
}

void CSshServer::Restart() {
  const std::string conf = m_dir + "/sshd_config";
  const int log =
      open((m_dir + "/sshd.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  m_process = std::make_unique<CChildProcess>(
      std::vector<std::string>{"/usr/sbin/sshd", "-D", "-e", "-f", conf}, m_lifetimeSeconds,
      std::vector<std::pair<int, int>>{{log, 2}});
  close(log);
  if (!WaitForPort(m_port, 10)) throw std::runtime_error(ReadFile(m_dir + "/sshd.log"));
}

std::string CSshServer::Root() const {
  return "sftp://127.0.0.1:" + std::to_string(m_port) + m_folder + "/";
}

void CSshServer::Trust(bool otherKey) const {
  const std::string key = otherKey ? MakeKey(m_dir + "/other_key") : m_dir + "/host_key";
  WriteFile(SshDir() + "/known_hosts",
            "[127.0.0.1]:" + std::to_string(m_port) + " " + ReadFile(key + ".pub"));
}

std::string CSshServer::HostKeyFingerprint() const {
  Run("ssh-keygen -lf " + m_dir + "/host_key.pub | cut -d' ' -f2 >" + m_dir + "/fingerprint");
  const std::string line = ReadFile(m_dir + "/fingerprint");
  return line.substr(0, line.find('\n'));
}

void CSshServer::Kill() { m_process->Kill(); }

}  // namespace testing_support
