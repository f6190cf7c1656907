#pragma once
// Deletes published files that the register knows, from FileRoot and from
// nowhere else, and marks their entries. A file that is already gone is
// marked without complaint.
//
// An entry is refused, and its file left alone, when it was recorded under
// another FileRoot than the current one, when its name is not a plain name
// in FileRoot (empty, "." or "..", or holding a "/"), or when FileRoot holds
// a symbolic link or anything but a regular file under that name. A file
// the register does not know is never touched, even under a registered name:
// a file whose inode or modification time differs from the recorded ones
// counts as gone and is left alone (a name freed and taken again by a later
// send or by someone else; inode numbers are reused at once).

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/PublishRegister.h"

class CRemoteRoot;

class CUnpublisher {
 public:
  // The modification time of `st` in nanoseconds, as the register keeps it.
  static int64_t ModifiedNs(const struct stat& st);

  // `fileRoot` is the current FileRoot, ending in "/".
  CUnpublisher(CPublishRegister& publishRegister, std::string fileRoot);
  ~CUnpublisher();

  // Deletes the files published more than `days` days before `now` and marks
  // them expired, after RemoveUnfinished. False when any entry was refused
  // or failed (Problems()).
  bool Expire(int32_t days, int64_t now);
  // Deletes the file still published under the URL or name `key` and marks
  // it removed. False when nothing is published under `key`, or on a
  // refusal or failure (Problems()).
  bool Unpublish(const std::string& key, int64_t now);
  // Removes from FileRoot what failed sends had to leave on a server, and
  // marks those entries removed. False when any removal failed (they stay
  // for the next time).
  bool RemoveUnfinished(int64_t now);

  // What was done, one line per file.
  const std::vector<std::string>& Lines() const { return m_lines; }
  // What was refused or failed, one sentence each.
  const std::vector<std::string>& Problems() const { return m_problems; }

 private:
  bool Remove(const PublishedFile& file, const std::string& state, int64_t now);
  bool RemoveLocal(const PublishedFile& file, const std::string& state, int64_t now);
  bool RemoveRemote(const PublishedFile& file, const std::string& state, int64_t now);
  // Marks the entry and says what became of its file (`note` after the URL).
  bool Ended(const PublishedFile& file, const std::string& state, int64_t now,
             const std::string& note);
  bool Refuse(const std::string& problem);

  CPublishRegister& m_register;
  std::string m_fileRoot;
  std::unique_ptr<CRemoteRoot> m_remote;
  std::vector<std::string> m_lines;
  std::vector<std::string> m_problems;
};
