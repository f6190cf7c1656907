#pragma once
// A WebDAV collection reached with libcurl: "dav://" over http, "davs://"
// over https with the certificate checked as the web access library checks
// it (remote/DavRequest.h).
//
// WebDAV has no exclusive create of a file that holds everywhere: servers
// check "If-None-Match: *" when a PUT starts and move the body into place
// when it ends (Apache), or ignore it (nginx). Creating a collection is
// exclusive: a second MKCOL of one path is refused with 405. So a sender
// first holds a name by creating its claim collection beside it
// (".quiver-claim-NAME/"), then makes sure the name itself is free, then
// PUTs the content under the name, and deletes the claim when done. Every
// sender goes through the claim, so no two write one name; servers store a
// PUT's body aside and rename it over the name at the end, so the name never
// serves part of a file. CheckExclusive makes sure the server refuses the
// second MKCOL before anything is written to it.
//
// Credentials: ~/.netrc (private to the user), else the Secret Service, sent
// as Basic authorization over https, and over plain http only straight to
// a loopback address, never through a proxy.

#include <memory>
#include <optional>
#include <string>

#include "remote/Netrc.h"
#include "remote/PublishRoot.h"
#include "remote/RemoteAddress.h"

class CDavRequest;

class CDavRoot : public CPublishRoot {
 public:
  explicit CDavRoot(RemoteAddress address);
  ~CDavRoot() override;

  std::string Display() const override { return m_address.Display(); }
  std::unique_ptr<CPublishUpload> Create(const NameSequence& names) override;
  bool Remove(const std::string& name) override;
  bool Discard(const std::string& workName) override;
  bool Look(const std::string& name, RootEntry& entry) override;
  bool CheckExclusive() override;

  // Deletes the claim that holds `name`; true when it is gone.
  bool Release(const std::string& name);
  // A request for the file `name` with the root's login.
  std::unique_ptr<CDavRequest> Request(const std::string& name);
  // Turns a request's outcome into this root's failure, naming `what` was
  // done to `name`; true when it ended in a 2xx status.
  bool Succeeded(CDavRequest& request, const std::string& what, const std::string& name);

 private:
  // Holds `name` for this sender: its claim made and the name free.
  // ERROR_FILE_EXISTS when another sender holds it or a file has it.
  bool Hold(const std::string& name);
  // Creates the collection `name`; ERROR_FILE_EXISTS when it exists.
  bool MakeCollection(const std::string& name);
  // Whether the file `name` exists.
  bool Exists(const std::string& name, bool& exists);
  const NetrcLogin* Login();
  bool TransportFailed(CDavRequest& request, const std::string& what);
  std::string LoginAdvice() const;

  RemoteAddress m_address;
  std::optional<NetrcLogin> m_login;
  bool m_loginLooked = false;
  std::string m_loginProblem;  // why no login is sent
};
