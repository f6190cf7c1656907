#pragma once
// A private WebDAV server: Apache httpd with mod_dav and mod_dav_fs on
// 127.0.0.1 at a free port, over http or over TLS with a certificate from a
// throw-away authority, serving a fresh folder as "/pub/". Anyone may GET and
// HEAD (receivers fetch without credentials); every other method needs Basic
// authentication as User() with Password(). The folder is writable by the
// unprivileged user the server drops to. The server stops when the object
// goes, or by itself after `lifetimeSeconds`.

#include "support/ApacheServer.h"
#include "support/TestCa.h"

#include <memory>
#include <string>

namespace testing_support {

class CDavServer {
 public:
  enum class Transport { Http, Https };

  // Throws std::runtime_error when the server cannot be set up or started.
  explicit CDavServer(Transport transport = Transport::Http, int lifetimeSeconds = 300);

  int Port() const { return m_port; }
  // The served folder on disk (the collection "/pub/").
  const std::string& Folder() const { return m_folder; }
  // The FileRoot that names it: "dav://127.0.0.1:<port>/pub/", or "davs://...".
  std::string FileRoot() const;
  // The public URL that serves it: "http://127.0.0.1:<port>/pub/", or "https://...".
  std::string UrlRoot() const;
  const std::string& User() const { return m_user; }
  const std::string& Password() const { return m_password; }
  // The authority's certificate (PEM) to trust over TLS; empty over http.
  std::string CaFile() const { return m_ca ? m_ca->CaFile() : ""; }

  // Stops the server at once with SIGKILL, in the middle of an upload.
  void Kill() { m_apache->Kill(); }

  // Whether apache2-bin with mod_dav is installed here.
  static bool Available();

 private:
  std::string m_folder;
  std::string m_user = "sender";
  std::string m_password = "dav-Pass 7";
  int m_port = 0;
  bool m_tls = false;
  std::unique_ptr<CTestCa> m_ca;
  std::unique_ptr<CApacheServer> m_apache;
};

}  // namespace testing_support
