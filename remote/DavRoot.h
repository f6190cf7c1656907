#pragma once
// A WebDAV collection reached with libcurl: "dav://" over http, "davs://"
// over https with the certificate checked as the web access library checks
// it (remote/DavRequest.h).
//
// WebDAV has no exclusive create that holds under concurrency: servers check
// "If-None-Match: *" when a PUT starts and move the body into place when it
// ends, so two creators of one new name may both succeed. A name is
// therefore claimed with a PUT of a small random token under
// "If-None-Match: *" (refused with 412 when the name exists) and owned only
// when, after a pause that outlasts any concurrent claim, a GET returns this
// sender's token; then the content is streamed over it (remote/DavUpload.h).
// The content is not moved into place from a file beside it: servers carry
// out a replacing MOVE as a deletion and a rename, and a claim made in
// between would be overwritten.
//
// Credentials: ~/.netrc (private to the user), else the Secret Service, sent
// as Basic authorization over https, and over plain http only to a loopback
// address.

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "remote/Netrc.h"
#include "remote/RemoteRoot.h"

class CDavRequest;

class CDavRoot : public CRemoteRoot {
 public:
  explicit CDavRoot(RemoteAddress address);
  ~CDavRoot() override;

  std::unique_ptr<CRemoteUpload> Create(const NameSequence& names) override;
  bool Remove(const std::string& name) override;
  bool Size(const std::string& name, int64_t& size) override;

  // Claims the first free name of `names` from `index` on with `token`;
  // `index` becomes the claimed name's. ERROR_TOO_MANY_OPEN_FILES when
  // every name is taken.
  bool ClaimFree(const NameSequence& names, unsigned& index, const std::string& token);
  // Whether the file `name` holds `token` (false for no file); false with
  // the failure when the server cannot tell.
  bool Holds(const std::string& name, const std::string& token, bool& holds);
  // A request for the file `name` with the root's login.
  std::unique_ptr<CDavRequest> Request(const std::string& name);
  // Turns a request's outcome into this root's failure, naming `what` was
  // done to `name`; true when it ended in a 2xx status.
  bool Succeeded(CDavRequest& request, const std::string& what, const std::string& name);

  // The pause between a claim and its check; tests shorten it.
  static void SetClaimPause(std::chrono::milliseconds pause);
  static std::chrono::milliseconds ClaimPause();
  // A random token of `digits` hexadecimal digits.
  static std::string RandomToken(size_t digits);

 private:
  const NetrcLogin* Login();
  bool TransportFailed(CDavRequest& request, const std::string& what);
  std::string LoginAdvice() const;

  std::optional<NetrcLogin> m_login;
  bool m_loginLooked = false;
  std::string m_loginProblem;  // why no login is sent
};
