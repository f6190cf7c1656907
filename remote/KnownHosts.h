#pragma once
// The SSH host keys the user trusts, as OpenSSH keeps them in
// ~/.ssh/known_hosts: plain and hashed ("|1|salt|hash") host names, and
// "[host]:port" for a server on another port than 22. Lines that libssh2
// cannot read (certificate authorities, security-key types) are skipped, as
// they say nothing about the keys it checks.

#include <libssh2.h>

#include <string>

class CKnownHosts {
 public:
  enum class Verdict {
    Known,    // listed with this very key
    Unknown,  // no key of this type listed for the host
    Changed,  // listed with another key of this type: possibly an impostor
  };

  // The server key of `session`, after the handshake, against the user's
  // file. A missing file lists nothing.
  static Verdict Check(LIBSSH2_SESSION* session, const std::string& host, int port);
  // The key's fingerprint as OpenSSH prints it: "SHA256:" and the base64 of
  // the digest without padding.
  static std::string Fingerprint(LIBSSH2_SESSION* session);
  // The known_hosts line (with its line feed) that lists the key of
  // `session` for the server; empty for a key type OpenSSH would not list.
  static std::string Line(LIBSSH2_SESSION* session, const std::string& host, int port);
  // Appends `line` to the file, making ~/.ssh (0700) and the file (0600)
  // when missing; false, with the reason in `error`, when it cannot.
  static bool Append(const std::string& line, std::string& error);
  // ~/.ssh/known_hosts, and its folder ~/.ssh, from $HOME.
  static std::string Path();
  static std::string Folder();
};
