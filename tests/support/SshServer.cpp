#include "support/SshServer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>
#include <vector>

#include "support/NginxServer.h"
#include "support/SshKeys.h"
#include "support/TestFiles.h"

namespace testing_support {

namespace {

// sshd accepts a chroot folder only when every folder on its path is root's
// and writable by no one else, which /tmp above the test root is not: the
// server runs in a mount namespace of its own where the jail is bound onto
// /mnt, which vanishes with it.
constexpr char kJailMount[] = "/mnt";

std::vector<std::string> InJail(const std::string& jail, const std::vector<std::string>& argv) {
  const std::string bind = std::string("mount --bind \"$0\" ") + kJailMount + " && exec \"$@\"";
  std::vector<std::string> all = {"unshare", "--mount", "--propagation", "private",
                                  "sh",      "-c",      bind,            jail};
  all.insert(all.end(), argv.begin(), argv.end());
  return all;
}

}  // namespace

bool CSshServer::Available() { return access("/usr/sbin/sshd", X_OK) == 0; }

CSshServer::CSshServer(Layout layout, int lifetimeSeconds)
    : m_port(FreePort()), m_lifetimeSeconds(lifetimeSeconds), m_dir(MakeDir("sshd")) {
  if (geteuid() == 0) mkdir("/run/sshd", 0755);  // where root's sshd separates privileges
  std::string chroot;
  if (layout == Layout::Chrooted) {
    m_jail = MakeDir("jail");
    m_folder = m_jail + "/pub";
    if (mkdir(m_folder.c_str(), 0755) != 0) throw std::runtime_error("mkdir " + m_folder);
    chroot = std::string("ChrootDirectory ") + kJailMount + "\nForceCommand internal-sftp\n";
  } else {
    m_folder = MakeDir("sftp");
  }
  const std::string conf = m_dir + "/sshd_config";
  WriteFile(conf, "ListenAddress 127.0.0.1:" + std::to_string(m_port) + "\nHostKey " +
                      MakeSshKey(m_dir + "/host_key") + "\nAuthorizedKeysFile " + UserSshKey() +
                      ".pub\nPidFile none\nStrictModes no\nUsePAM no\nUseDNS no\n"
                      "PasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                      "PermitRootLogin prohibit-password\nMaxStartups 64\n"
                      "Subsystem sftp internal-sftp\n" + chroot);
  Restart();
}

void CSshServer::Restart() {
  const std::vector<std::string> sshd = {"/usr/sbin/sshd", "-D", "-e", "-f",
                                         m_dir + "/sshd_config"};
  const int log =
      open((m_dir + "/sshd.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  m_process = std::make_unique<CChildProcess>(m_jail.empty() ? sshd : InJail(m_jail, sshd),
                                              m_lifetimeSeconds,
                                              std::vector<std::pair<int, int>>{{log, 2}});
  close(log);
  if (!WaitForPort(m_port, 10)) throw std::runtime_error(ReadFile(m_dir + "/sshd.log"));
}

std::string CSshServer::Root() const {
  const std::string seen = m_jail.empty() ? m_folder : "/pub";
  return "sftp://127.0.0.1:" + std::to_string(m_port) + seen + "/";
}

void CSshServer::Trust(bool otherKey) const {
  const std::string key = otherKey ? MakeSshKey(m_dir + "/other_key") : m_dir + "/host_key";
  TrustHostKey(m_port, key + ".pub");
}

std::string CSshServer::HostKeyFingerprint() const {
  Run("ssh-keygen -lf " + m_dir + "/host_key.pub | cut -d' ' -f2 >" + m_dir + "/fingerprint");
  const std::string line = ReadFile(m_dir + "/fingerprint");
  return line.substr(0, line.find('\n'));
}

void CSshServer::Kill() { m_process->Kill(); }

}  // namespace testing_support
