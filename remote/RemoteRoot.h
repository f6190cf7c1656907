#pragma once
// A directory on a server that Quiver publishes into: a WebDAV collection
// ("dav://" over http, "davs://" over https) or an SFTP directory
// ("sftp://"). Credentials never come from the root itself: WebDAV reads
// ~/.netrc or the desktop's Secret Service, SFTP uses ssh-agent or the
// user's key files. Servers prove who they are: a TLS certificate trusted as
// the web access library trusts it, an SSH host key listed in
// ~/.ssh/known_hosts.
//
// A root connects on its first operation and keeps the connection while it
// lives. Every operation returns false on failure with Code() and Error()
// set (remote/RemoteFailure.h). A root and its uploads belong to one thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "remote/RemoteAddress.h"
#include "remote/RemoteFailure.h"
#include "remote/RemoteUpload.h"

class CRemoteRoot : public CRemoteFailure {
 public:
  // The root for `fileRoot`, not yet connected; null, with the reason in
  // `error`, when `fileRoot` is not a well-formed remote root.
  static std::unique_ptr<CRemoteRoot> Open(const std::string& fileRoot, std::string& error);

  explicit CRemoteRoot(RemoteAddress address) : m_address(std::move(address)) {}
  virtual ~CRemoteRoot() = default;

  // Connects and logs in, when the protocol keeps a connection (SFTP);
  // true at once for one that does not (WebDAV). Every other operation
  // connects by itself when needed.
  virtual bool Connect() { return true; }
  // The names a new file may take, in order of preference (index 0 the
  // wanted one); an empty name past the last.
  using NameSequence = std::function<std::string(unsigned index)>;

  // Creates a new file under the first name of `names` that is free, and
  // exclusively: a name that exists, or that another sender claims at the
  // same moment and wins, is skipped and left as it was. The returned upload
  // writes the file's bytes; its Name() is the file's name once Finish
  // succeeded. Null on failure: ERROR_TOO_MANY_OPEN_FILES (4) when every
  // name is taken.
  virtual std::unique_ptr<CRemoteUpload> Create(const NameSequence& names) = 0;
  // Deletes the file `name`; ERROR_FILE_NOT_FOUND when there is none.
  virtual bool Remove(const std::string& name) = 0;
  // The size in bytes of the file `name`; ERROR_FILE_NOT_FOUND when there
  // is none.
  virtual bool Size(const std::string& name, int64_t& size) = 0;

  // After a failure because the server's SSH host key is not in
  // ~/.ssh/known_hosts (never for a key that changed): the key's
  // fingerprint ("SHA256:..."); else empty.
  virtual std::string UnknownHostKey() const { return ""; }
  // Adds that host key to ~/.ssh/known_hosts, so that the next operation
  // trusts it. False when there is none or the file cannot be written.
  virtual bool TrustHostKey() { return false; }

  const RemoteAddress& Address() const { return m_address; }

 protected:
  // Tries the names of `names` from `index` on with `create` until one is
  // made (true, `index` its index) or fails for another reason than a
  // taken name (false, with the failure `create` recorded); fails with
  // ERROR_TOO_MANY_OPEN_FILES when every name is taken.
  bool CreateFirstFree(const NameSequence& names, unsigned& index,
                       const std::function<bool(const std::string&)>& create);

 private:
  RemoteAddress m_address;
};
