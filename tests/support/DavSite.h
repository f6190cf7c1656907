#pragma once
// What a test needs of a private WebDAV server, whichever program serves it:
// a fresh folder as the collection "/pub/" on 127.0.0.1 at a free port,
// written with Basic authentication as User() with Password(). The servers
// stop when the object goes, or by themselves after their lifetime.

#include <string>

namespace testing_support {

class CDavSite {
 public:
  virtual ~CDavSite() = default;
  CDavSite(const CDavSite&) = delete;
  CDavSite& operator=(const CDavSite&) = delete;

  int Port() const { return m_port; }
  // The served folder on disk (the collection "/pub/").
  const std::string& Folder() const { return m_folder; }
  // The FileRoot that names it: "dav://127.0.0.1:<port>/pub/", or "davs://...".
  std::string FileRoot() const;
  // The URL that serves it: "http://127.0.0.1:<port>/pub/", or "https://...".
  std::string UrlRoot() const;
  const std::string& User() const { return m_user; }
  const std::string& Password() const { return m_password; }
  // The authority's certificate (PEM) to trust over TLS; empty over http.
  virtual std::string CaFile() const { return ""; }

  // Stops the server at once with SIGKILL, in the middle of an upload.
  virtual void Kill() = 0;
  // Starts it again after Kill, on the same port and folder.
  virtual void Restart() = 0;

 protected:
  CDavSite() = default;
  // Writes the password file that lets User() in, as Apache and nginx read it.
  void WriteUsers(const std::string& path) const;

  std::string m_folder;
  int m_port = 0;
  bool m_tls = false;

 private:
  std::string m_user = "sender";
  std::string m_password = "dav-Pass 7";
};

}  // namespace testing_support
