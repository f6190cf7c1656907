#pragma once
// The receive page: a browser page, built with the program, that opens the
// pointer file carried in its link and saves the file it points to. The
// program publishes the page beside the files it sends. Each of its files
// is named Stem() and a suffix; the stem names the version, so a root gets
// each version once, and no send ever takes one of these names.
//
// A link is the URL of the published file's folder, the page's name, "#"
// and the pointer file's bytes in base64url (no padding). A browser never
// sends the part after "#" to any server.

#include <string>
#include <vector>

class CPublishRoot;

class CReceivePage {
 public:
  // "quiver-receive-" and the program's version.
  static std::string Stem();
  // The name of the page itself: Stem() + ".html".
  static std::string PageName();
  // Whether `name` may be the name of a file of a receive page of any
  // version: the stem of that version, then "." or "-" and more.
  static bool IsPageName(const std::string& name);
  // The link that opens the pointer file whose bytes are `pointerBytes` and
  // whose URL is `url`.
  static std::string Link(const std::string& url, const std::string& pointerBytes);
  // The link of the pointer file `path`. False when it cannot be read or
  // is not a pointer file: the thread's last error tells why (13 for a
  // damaged one).
  static bool LinkOf(const std::string& path, std::string& link);

  // The page as built into `directory`: by default the program's own.
  explicit CReceivePage(std::string directory = DefaultDirectory());

  // The page's file names, the page itself last, so that a link never opens
  // a page whose parts are still missing. Empty when the folder holds no
  // page of this version.
  std::vector<std::string> Files() const;
  // The bytes of the page's file `name`; false when it cannot be read.
  bool Read(const std::string& name, std::string& bytes) const;
  // Publishes every file of the page that `root` lacks, each created
  // exclusively under its own name; a name another sender took meanwhile
  // counts as published. True when the root holds them all; otherwise the
  // root's failure tells why (ERROR_FILE_NOT_FOUND when no page was built).
  bool Publish(CPublishRoot& root) const;

 private:
  static std::string DefaultDirectory();
  bool PublishFile(CPublishRoot& root, const std::string& name) const;

  std::string m_directory;
};
