#pragma once
// Deletes published files that the register knows, from FileRoot and from
// nowhere else, and marks their entries. A file that is already gone is
// marked without complaint.
//
// An entry is refused, and its file left alone, when it was recorded under
// another FileRoot than the current one, when its name is not a plain name
// in FileRoot (empty, "." or "..", or holding a "/"), or when FileRoot holds
// something a send never makes under that name (a symbolic link, a
// directory). A file the register does not know is never touched, even
// under a registered name: a file whose inode and modification time (or,
// where the root cannot tell those, whose size) differ from the recorded
// ones counts as gone and is left alone (a name freed and taken again by a
// later send or by someone else; inode numbers are reused at once).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/PublishRegister.h"

class CPublishRoot;

class CUnpublisher {
 public:
  // `fileRoot` is the current FileRoot, ending in "/", and `root` the root
  // it names, which the caller has connected. `processEnded` tells whether
  // the sender with that process id has ended.
  CUnpublisher(CPublishRegister& publishRegister, std::string fileRoot, CPublishRoot& root,
               std::function<bool(int64_t)> processEnded = ProcessEnded);

  // Deletes the files published more than `days` days before `now` and marks
  // them expired, after RemoveUnfinished. False when any entry was refused
  // or failed (Problems()).
  bool Expire(int32_t days, int64_t now);
  // Deletes the file still published under the URL or name `key` and marks
  // it removed. False when nothing is published under `key`, or on a
  // refusal or failure (Problems()).
  bool Unpublish(const std::string& key, int64_t now);
  // Removes from FileRoot what failed sends had to leave, and what sends
  // whose process is gone left under way (a killed sender's claim or
  // partial file), and marks those entries removed. False when any removal
  // failed (they stay for the next time).
  bool RemoveUnfinished(int64_t now);

  // What was done, one line per file.
  const std::vector<std::string>& Lines() const { return m_lines; }
  // What was refused or failed, one sentence each.
  const std::vector<std::string>& Problems() const { return m_problems; }

 private:
  static bool ProcessEnded(int64_t pid);
  // Whether the process that recorded a send under way is gone; the entries
  // of a failed send (no sender) always count as left behind.
  bool SenderGone(const PublishedFile& file) const;
  bool Remove(const PublishedFile& file, const std::string& state, int64_t now);
  bool Discard(const PublishedFile& file, int64_t now);
  // Marks the entry and says what became of its file (`note` after the URL).
  bool Ended(const PublishedFile& file, const std::string& state, int64_t now,
             const std::string& note);
  bool Refuse(const std::string& problem);

  CPublishRegister& m_register;
  std::string m_fileRoot;
  CPublishRoot& m_root;
  std::function<bool(int64_t)> m_processEnded;
  std::vector<std::string> m_lines;
  std::vector<std::string> m_problems;
};
