#pragma once
// Throw-away ed25519 keys for the SSH fixtures, and the test user's trust in
// a server's host key. Every file lies below the test root or in ~/.ssh of
// the test's private HOME.

#include <string>

namespace testing_support {

// Makes a new key pair at `path` and `path`.pub, replacing any; returns `path`.
std::string MakeSshKey(const std::string& path);
// The test user's key ~/.ssh/id_ed25519, made when it is missing.
std::string UserSshKey();
// Makes ~/.ssh/known_hosts list the public key in `publicKeyFile` alone, for
// the server on 127.0.0.1 at `port`.
void TrustHostKey(int port, const std::string& publicKeyFile);

}  // namespace testing_support
