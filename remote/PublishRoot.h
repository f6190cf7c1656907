#pragma once
// The directory Quiver publishes into, whatever holds it: a local directory,
// a WebDAV collection ("dav://" over http, "davs://" over https) or an SFTP
// directory ("sftp://"). FileRoot is parsed once, by Open, and every send,
// check and removal goes through the one root it returns.
//
// Every root creates exclusively and publishes whole: a file appears under
// its public name only when complete, and never over another file, even
// when many senders want one name at once. How each kind manages that is
// said in its header. Names that an upload uses on the way (a WebDAV claim,
// an SFTP temporary file) begin with kWorkPrefix, so that they are
// recognisable and no send ever takes one.
//
// Credentials never come from the root itself: WebDAV reads ~/.netrc or the
// desktop's Secret Service, SFTP uses ssh-agent or the user's key files.
// Servers prove who they are: a TLS certificate trusted as the web access
// library trusts it, an SSH host key listed in ~/.ssh/known_hosts.
//
// A root connects on its first operation and keeps the connection while it
// lives. Every operation returns false on failure with Code() and Error()
// set (platform/Status.h). A root and its uploads belong to one thread.
//
// Codes: ERROR_FILE_EXISTS (80) when a name is taken, ERROR_FILE_NOT_FOUND
// (2) when it is missing, ERROR_PATH_NOT_FOUND (3) when the directory is,
// ERROR_ACCESS_DENIED (5) for refused credentials or permissions,
// ERROR_UNEXP_NET_ERR (59) when the server cannot be reached or the
// connection broke, ERROR_CANCELLED (1223) when the caller stopped, and the
// TLS reasons of SystemError.h for a server whose certificate fails.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "remote/PublishUpload.h"
#include "platform/Status.h"

// What a root knows of one of its files; what it cannot tell stays 0.
struct RootEntry {
  int64_t size = 0;
  int64_t inode = 0;     // which file it is, with `modified` (local only)
  int64_t modified = 0;  // nanoseconds
  unsigned mode = 0;     // permission bits
};

class CPublishRoot : public CStatus {
 public:
  // The beginning of every name an upload uses on the way.
  static constexpr const char* kWorkPrefix = ".quiver-";

  // The root for `fileRoot` (ending in "/"), not yet connected. Null, with
  // the reason in `error` and the thread's last error set, when a server
  // root is not well-formed (ERROR_BAD_PATHNAME) or the module that holds
  // the roots on servers cannot be loaded (ERROR_MOD_NOT_FOUND,
  // remote/ServerRootModule.h).
  static std::unique_ptr<CPublishRoot> Open(const std::string& fileRoot, std::string& error);
  // Whether `fileRoot` names a directory on a server: whether it begins with
  // "dav://", "davs://" or "sftp://" (in any case), well-formed or not.
  static bool IsServer(const std::string& fileRoot);

  virtual ~CPublishRoot() = default;

  // The root as the settings name it, ending in "/".
  virtual std::string Display() const = 0;
  // Connects and logs in, when the protocol keeps a connection (SFTP);
  // true at once for one that does not. Every other operation connects by
  // itself when needed.
  virtual bool Connect() { return true; }

  // The names a new file may take, in order of preference (index 0 the
  // wanted one); an empty name past the last.
  using NameSequence = std::function<std::string(unsigned index)>;
  // Starts a new file that takes the first name of `names` that is free
  // once it is complete: a name that exists, or that another sender holds
  // at the same moment, is skipped and left as it was. Null on failure:
  // ERROR_TOO_MANY_OPEN_FILES (4) when every name is taken.
  virtual std::unique_ptr<CPublishUpload> Create(const NameSequence& names) = 0;
  // Deletes the file `name`; ERROR_FILE_NOT_FOUND when there is none.
  virtual bool Remove(const std::string& name) = 0;
  // Removes what an upload left behind under `workName` (its
  // CPublishUpload::WorkName()) when its sender went away: the part
  // written, the claim it held. True when nothing of it stays.
  virtual bool Discard(const std::string& workName) = 0;
  // Facts about the file `name`; ERROR_FILE_NOT_FOUND when there is none,
  // ERROR_ACCESS_DENIED when the name holds something a send never makes
  // (a symbolic link or a directory) and must not be touched, with a
  // sentence that begins "it is".
  virtual bool Look(const std::string& name, RootEntry& entry) = 0;
  // Makes sure that the server refuses to create what exists, which the
  // exclusive creation above rests on: true when it does; false, with a
  // sentence naming the server's answer and what to change, when it does
  // not or cannot be asked. Leaves nothing behind.
  virtual bool CheckExclusive() { return true; }

  // After a failure because the server's SSH host key is not in
  // ~/.ssh/known_hosts (never for a key that changed): the key's
  // fingerprint ("SHA256:..."); else empty.
  virtual std::string UnknownHostKey() const { return ""; }
  // The host and port that the fingerprint belongs to, as "host:port".
  virtual std::string HostName() const { return ""; }
  // Adds that host key to ~/.ssh/known_hosts, so that the next operation
  // trusts it. False when there is none or the file cannot be written.
  virtual bool TrustHostKey() { return false; }

 protected:
  // Tries the names of `names` from `index` on with `create` until one is
  // made (true, `index` its index) or fails for another reason than a
  // taken name (false, with the failure `create` recorded); fails with
  // ERROR_TOO_MANY_OPEN_FILES when every name is taken.
  bool CreateFirstFree(const NameSequence& names, unsigned& index,
                       const std::function<bool(const std::string&)>& create);
  // A random token of `digits` hexadecimal digits.
  static std::string RandomToken(size_t digits);
};
