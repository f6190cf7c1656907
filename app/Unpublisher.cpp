#include "app/Unpublisher.h"

#include <signal.h>

#include <algorithm>
#include <cerrno>

#include "app/RedactedUrl.h"
#include "platform/SystemError.h"
#include "remote/PublishRoot.h"

namespace {

constexpr int64_t kSecondsPerDay = 24 * 60 * 60;

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool SameEntry(const PublishedFile& a, const PublishedFile& b) {
  return a.id == b.id && a.state == b.state && a.sender == b.sender && a.name == b.name;
}

}  // namespace

bool CUnpublisher::ProcessEnded(int64_t pid) {
  return kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

CUnpublisher::CUnpublisher(CPublishRegister& publishRegister, std::string fileRoot,
                           CPublishRoot& root, std::function<bool(int64_t)> processEnded)
    : m_register(publishRegister),
      m_fileRoot(std::move(fileRoot)),
      m_root(root),
      m_processEnded(std::move(processEnded)) {}

bool CUnpublisher::SenderGone(const PublishedFile& file) const {
  if (file.state != CPublishRegister::kClaimed) return true;
  return file.sender <= 0 || m_processEnded(file.sender);
}

bool CUnpublisher::Refuse(const std::string& problem) {
  m_problems.push_back(problem);
  return false;
}

bool CUnpublisher::Expire(int32_t days, int64_t now) {
  std::vector<PublishedFile> due;
  if (!m_register.Due(now - days * kSecondsPerDay, due)) return Refuse(m_register.Error());
  bool ok = RemoveUnfinished(now);
  for (const PublishedFile& file : due) ok = Remove(file, CPublishRegister::kExpired, now) && ok;
  return ok;
}

bool CUnpublisher::Unpublish(const std::string& key, int64_t now) {
  std::vector<PublishedFile> found;
  if (!m_register.Find(key, found)) return Refuse(m_register.Error());
  if (found.empty()) return Refuse("No published file is known as " + key + ".");
  bool ok = true;
  for (const PublishedFile& file : found) ok = Remove(file, CPublishRegister::kRemoved, now) && ok;
  return ok;
}

bool CUnpublisher::RemoveUnfinished(int64_t now) {
  std::vector<PublishedFile> left;
  if (!m_register.Unfinished(left)) return Refuse(m_register.Error());
  std::vector<PublishedFile> gone;
  for (const PublishedFile& file : left) {
    if (file.fileRoot == m_fileRoot && SenderGone(file)) gone.push_back(file);
  }
  if (gone.empty()) return true;
  // A sender may settle its entry and end between the reading of the list
  // and the look at its process. An ended sender's entry cannot change any
  // more, so only the entries that a second reading still shows go.
  if (!m_register.Unfinished(left)) return Refuse(m_register.Error());
  bool ok = true;
  for (const PublishedFile& file : gone) {
    const auto same = [&](const PublishedFile& entry) { return SameEntry(entry, file); };
    if (std::any_of(left.begin(), left.end(), same)) ok = Discard(file, now) && ok;
  }
  return ok;
}

bool CUnpublisher::Discard(const PublishedFile& file, int64_t now) {
  if (!IsPlainName(file.name)) {
    return Refuse("Refusing the register entry " + std::to_string(file.id) + " (\"" + file.name +
                  "\"): it points outside FileRoot " + m_fileRoot + ".");
  }
  if (!m_root.Discard(file.name)) {
    return Refuse("Cannot delete " + m_fileRoot + file.name + ": " + m_root.Reason());
  }
  return Ended(file, CPublishRegister::kRemoved, now, "");
}

bool CUnpublisher::Ended(const PublishedFile& file, const std::string& state, int64_t now,
                         const std::string& note) {
  if (!m_register.Mark(file.id, state, now)) return Refuse(m_register.Error());
  const bool left = file.state == CPublishRegister::kUnfinished ||
                    file.state == CPublishRegister::kClaimed;
  const std::string unfinished = left ? " (left by a failed send)" : "";
  m_lines.push_back((state == CPublishRegister::kExpired ? "Expired " : "Removed ") + RedactedUrl(file.url) +
                    unfinished + note);
  return true;
}

bool CUnpublisher::Remove(const PublishedFile& file, const std::string& state, int64_t now) {
  if (file.fileRoot != m_fileRoot) {
    return Refuse("Not deleting " + RedactedUrl(file.url) + ": it was published into " + file.fileRoot +
                  " and FileRoot is now " + m_fileRoot + ".");
  }
  if (!IsPlainName(file.name)) {
    return Refuse("Refusing the register entry " + std::to_string(file.id) + " (\"" + file.name +
                  "\"): it points outside FileRoot " + m_fileRoot + ".");
  }
  const std::string where = m_fileRoot + file.name;
  RootEntry entry;
  const bool missing = !m_root.Look(file.name, entry);
  if (missing && m_root.Code() == ERROR_ACCESS_DENIED) {
    return Refuse("Refusing " + where + ": " + m_root.Reason());
  }
  if (missing && m_root.Code() != ERROR_FILE_NOT_FOUND) {
    return Refuse("Cannot look at " + where + ": " + m_root.Reason());
  }
  // An entry that records neither which file it was nor its size cannot be
  // told from a file that took its name since.
  if (!missing && file.inode == 0 && file.size <= 0) {
    return Refuse("Not deleting " + where +
                  ": the register cannot tell it from another file of that name.");
  }
  const bool replaced =
      !missing && (file.inode != 0 ? entry.inode != file.inode || entry.modified != file.modified
                                   : entry.size != file.size);
  if (!missing && !replaced && !m_root.Remove(file.name) &&
      m_root.Code() != ERROR_FILE_NOT_FOUND) {
    return Refuse("Cannot delete " + where + ": " + m_root.Reason());
  }
  return Ended(file, state, now,
               missing    ? " (already gone)"
               : replaced ? " (gone; another file has its name now and stays)"
                          : "");
}
