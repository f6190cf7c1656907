#pragma once
// A throw-away certificate authority, made with the openssl command line in
// a folder below the test root when the object is built, and the server
// certificates it issues. Nothing of it outlives the test process's folder.

#include <string>

namespace testing_support {

class CTestCa {
 public:
  // Throws std::runtime_error when openssl fails.
  CTestCa();

  // The authority's certificate (PEM), to be trusted by the client.
  const std::string& CaFile() const { return m_caFile; }

  struct Issued {
    std::string certificate;  // PEM, the server's certificate only
    std::string key;          // PEM, unencrypted
  };
  // A server certificate for altNames ("DNS:localhost,IP:127.0.0.1"), valid
  // for two days from now, or already expired.
  Issued Issue(const std::string& altNames, bool expired = false);
  // A server certificate that names host in its subject's CN alone, without
  // subjectAltName, as certificates once did.
  Issued IssueNamedInSubject(const std::string& host);

 private:
  Issued Make(const std::string& commonName, const std::string& extensions, bool expired);

  std::string m_dir;
  std::string m_caFile;
  int m_issued = 0;
};

}  // namespace testing_support
