#include "remote/KnownHosts.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

struct KeyType {
  int hostKeyType;
  int knownHostType;
  const char* name;
};

constexpr KeyType kKeyTypes[] = {
    {LIBSSH2_HOSTKEY_TYPE_RSA, LIBSSH2_KNOWNHOST_KEY_SSHRSA, "ssh-rsa"},
    {LIBSSH2_HOSTKEY_TYPE_DSS, LIBSSH2_KNOWNHOST_KEY_SSHDSS, "ssh-dss"},
    {LIBSSH2_HOSTKEY_TYPE_ECDSA_256, LIBSSH2_KNOWNHOST_KEY_ECDSA_256, "ecdsa-sha2-nistp256"},
    {LIBSSH2_HOSTKEY_TYPE_ECDSA_384, LIBSSH2_KNOWNHOST_KEY_ECDSA_384, "ecdsa-sha2-nistp384"},
    {LIBSSH2_HOSTKEY_TYPE_ECDSA_521, LIBSSH2_KNOWNHOST_KEY_ECDSA_521, "ecdsa-sha2-nistp521"},
    {LIBSSH2_HOSTKEY_TYPE_ED25519, LIBSSH2_KNOWNHOST_KEY_ED25519, "ssh-ed25519"},
};

const KeyType* FindType(int hostKeyType) {
  for (const KeyType& type : kKeyTypes) {
    if (type.hostKeyType == hostKeyType) return &type;
  }
  return nullptr;
}

std::string Base64(const unsigned char* bytes, size_t length) {
  std::string out(4 * ((length + 2) / 3) + 1, '\0');
  const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes,
                                      static_cast<int>(length));
  out.resize(written > 0 ? static_cast<size_t>(written) : 0);
  return out;
}

// How OpenSSH names the server: "[host]:port" unless the port is 22.
std::string HostEntry(const std::string& host, int port) {
  return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

struct KnownHostsDeleter {
  void operator()(LIBSSH2_KNOWNHOSTS* hosts) const { libssh2_knownhost_free(hosts); }
};

}  // namespace

std::string CKnownHosts::Folder() {
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.ssh";
  const passwd* pw = getpwuid(geteuid());
  return std::string(pw && pw->pw_dir ? pw->pw_dir : "") + "/.ssh";
}

std::string CKnownHosts::Path() { return Folder() + "/known_hosts"; }

CKnownHosts::Verdict CKnownHosts::Check(LIBSSH2_SESSION* session, const std::string& host,
                                        int port) {
  size_t keyLength = 0;
  int keyType = 0;
  const char* key = libssh2_session_hostkey(session, &keyLength, &keyType);
  const KeyType* type = FindType(keyType);
  std::unique_ptr<LIBSSH2_KNOWNHOSTS, KnownHostsDeleter> hosts(libssh2_knownhost_init(session));
  if (!key || !type || !hosts) return Verdict::Unknown;
  // Line by line, so that one line libssh2 cannot read does not hide the
  // ones after it.
  std::ifstream file(Path());
  for (std::string line; std::getline(file, line);) {
    libssh2_knownhost_readline(hosts.get(), line.c_str(), line.size(),
                               LIBSSH2_KNOWNHOST_FILE_OPENSSH);
  }
  const int result = libssh2_knownhost_checkp(
      hosts.get(), host.c_str(), port, key, keyLength,
      LIBSSH2_KNOWNHOST_TYPE_PLAIN | LIBSSH2_KNOWNHOST_KEYENC_RAW | type->knownHostType, nullptr);
  if (result == LIBSSH2_KNOWNHOST_CHECK_MATCH) return Verdict::Known;
  if (result == LIBSSH2_KNOWNHOST_CHECK_MISMATCH) return Verdict::Changed;
  return Verdict::Unknown;
}

std::string CKnownHosts::Fingerprint(LIBSSH2_SESSION* session) {
  const char* digest = libssh2_hostkey_hash(session, LIBSSH2_HOSTKEY_HASH_SHA256);
  if (!digest) return "";
  std::string text = Base64(reinterpret_cast<const unsigned char*>(digest), 32);
  while (!text.empty() && text.back() == '=') text.pop_back();
  return "SHA256:" + text;
}

std::string CKnownHosts::Line(LIBSSH2_SESSION* session, const std::string& host, int port) {
  size_t keyLength = 0;
  int keyType = 0;
  const char* key = libssh2_session_hostkey(session, &keyLength, &keyType);
  const KeyType* type = FindType(keyType);
  if (!key || !type) return "";
  return HostEntry(host, port) + " " + type->name + " " +
         Base64(reinterpret_cast<const unsigned char*>(key), keyLength) + "\n";
}

bool CKnownHosts::Append(const std::string& line, std::string& error) {
  const std::string dir = Folder();
  const std::string path = Path();
  if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    error = "Cannot make " + dir + ": " + std::strerror(errno) + ".";
    return false;
  }
  const int fd = open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    error = "Cannot open " + path + ": " + std::strerror(errno) + ".";
    return false;
  }
  // A last line without its line feed must not swallow the new one.
  std::string text = line;
  char last = '\n';
  const off_t end = lseek(fd, 0, SEEK_END);
  if (end > 0 && pread(fd, &last, 1, end - 1) == 1 && last != '\n') text.insert(0, "\n");
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const int writeErrno = errno;
  const bool closed = close(fd) == 0;
  if (!written || !closed) {
    error = "Cannot write " + path + ": " + std::strerror(written ? errno : writeErrno) + ".";
    return false;
  }
  return true;
}
