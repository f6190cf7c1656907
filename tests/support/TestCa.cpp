#include "support/TestCa.h"

#include "support/TestFiles.h"

#include <stdexcept>

namespace testing_support {

namespace {

const std::string kNewKey = "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes ";

void Openssl(const std::string& command) {
  if (Run(command + " >/dev/null 2>&1") != 0) throw std::runtime_error("failed: " + command);
}

}  // namespace

CTestCa::CTestCa() : m_dir(MakeDir("ca")), m_caFile(m_dir + "/ca.pem") {
  Openssl(kNewKey + "-x509 -days 2 -subj '/CN=Quiver Test CA' -keyout " + m_dir + "/ca.key -out " +
          m_caFile);
}

CTestCa::Issued CTestCa::Issue(const std::string& altNames, bool expired) {
  return Make("server", "subjectAltName=" + altNames, expired);
}

CTestCa::Issued CTestCa::IssueNamedInSubject(const std::string& host) {
  return Make(host, "basicConstraints=CA:FALSE", false);
}

CTestCa::Issued CTestCa::Make(const std::string& commonName, const std::string& extensions,
                              bool expired) {
  const std::string base = m_dir + "/server" + std::to_string(++m_issued);
  const Issued issued{base + ".pem", base + ".key"};
  WriteFile(base + ".ext", extensions + "\n");
  Openssl(kNewKey + "-subj /CN=" + commonName + " -keyout " + issued.key + " -out " + base +
          ".csr");
  // A negative validity ends the certificate's life before it begins.
  Openssl("openssl x509 -req -in " + base + ".csr -CA " + m_caFile + " -CAkey " + m_dir +
          "/ca.key -CAcreateserial -days " + (expired ? "-1" : "2") + " -extfile " + base +
          ".ext -out " + issued.certificate);
  return issued;
}

}  // namespace testing_support
