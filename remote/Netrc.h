#pragma once
// WebDAV credentials from ~/.netrc, in the format curl and ftp read:
// "machine NAME login USER password PASS" entries (tokens separated by
// blanks or line breaks, "default" matching any host, "macdef" bodies
// skipped, double-quoted tokens allowed).
//
// The file holds passwords in clear, so it counts only when it is private to
// the user: owned by the user, and neither readable nor writable by group or
// others. Otherwise it is refused, with a sentence that says how to mend it.

#include <string>

struct NetrcLogin {
  std::string user;
  std::string password;
};

// Looks up `host` in $HOME/.netrc; when `user` is not empty, only an entry
// with that login counts. True with the entry in `login`; false with `error`
// empty when there is no file or no entry, false with `error` set when the
// file is refused or cannot be read.
bool FindNetrcLogin(const std::string& host, const std::string& user, NetrcLogin& login,
                    std::string& error);
