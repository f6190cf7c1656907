#include "platform/SettingsStore.h"

#include "platform/Directories.h"
#include "platform/FileHandle.h"
#include "platform/SystemError.h"

#include "ini/IniReader.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Escape(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Unescape(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  for (size_t i = 0; i < raw.size(); ++i) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      out += raw[i];
      continue;
    }
    const char next = raw[++i];
    if (next == 'n') out += '\n';
    else if (next == 'r') out += '\r';
    else if (next == '\\') out += '\\';
    else { out += '\\'; out += next; }
  }
  return out;
}

// Holds an exclusive flock on a neighbour of the settings file for as long as
// it lives, so that two writers take turns.
class CWriteLock {
 public:
  explicit CWriteLock(const std::string& path)
      : m_fd(open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (m_fd >= 0) {
      while (flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  ~CWriteLock() {
    if (m_fd >= 0) close(m_fd);
  }
  CWriteLock(const CWriteLock&) = delete;
  CWriteLock& operator=(const CWriteLock&) = delete;

 private:
  int m_fd;
};

// A temporary file beside the target that is removed unless it was renamed.
class CReplacementFile {
 public:
  explicit CReplacementFile(const std::string& target) : m_target(target) {
    const size_t slash = target.rfind('/');
    m_name = target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".XXXXXX";
    m_fd = mkostemp(m_name.data(), O_CLOEXEC);
    if (m_fd < 0) SetLastErrorFromErrno(errno, true);
  }
  ~CReplacementFile() {
    if (m_fd >= 0) close(m_fd);
    if (!m_renamed && m_fd >= 0) unlink(m_name.c_str());
  }
  CReplacementFile(const CReplacementFile&) = delete;
  CReplacementFile& operator=(const CReplacementFile&) = delete;

  bool Replace(const std::string& text) {
    if (m_fd < 0) return false;
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(m_fd, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Fail();
      done += static_cast<size_t>(n);
    }
    if (fchmod(m_fd, 0600) != 0 || fsync(m_fd) != 0) return Fail();
    if (rename(m_name.c_str(), m_target.c_str()) != 0) return Fail();
    m_renamed = true;
    return true;
  }

 private:
  bool Fail() {
    SetLastErrorFromErrno(errno);
    return false;
  }

  std::string m_target;
  std::string m_name;
  int m_fd = -1;
  bool m_renamed = false;
};

}  // namespace

CSettingsStore::CSettingsStore(std::string path) : m_path(std::move(path)) {}

bool CSettingsStore::EnsureDirectory() const { return CreateParentDirectories(m_path); }

bool CSettingsStore::ReadFile(std::string& text) const {
  text.clear();
  CFileHandle file;
  if (!file.OpenForReading(m_path, FileShare::ReadWrite)) return false;
  char block[8192];
  size_t got = 0;
  do {
    if (!file.Read(block, sizeof block, got)) return false;
    text.append(block, got);
  } while (got > 0);
  return true;
}

// Of two equal names the later value counts, in the place of the first.
CSettingsStore::Entries CSettingsStore::Parse(const std::string& text) {
  const ini::CIniReader reader(text, ini::CIniReader::Form::Exact);
  Entries entries;
  for (const ini::CIniReader::Entry& e : reader.Entries()) {
    Put(entries, {e.section, e.key, e.value});
  }
  return entries;
}

std::string CSettingsStore::Render(const Entries& entries) {
  std::vector<std::string> sections;
  for (const Entry& e : entries) {
    bool known = false;
    for (const std::string& s : sections) known = known || s == e.section;
    if (!known) sections.push_back(e.section);
  }
  std::string out;
  for (const std::string& s : sections) {
    if (!out.empty()) out += '\n';
    out += "[" + s + "]\n";
    for (const Entry& e : entries) {
      if (e.section == s) out += e.name + "=" + e.raw + "\n";
    }
  }
  return out;
}

void CSettingsStore::Put(Entries& entries, const Entry& entry) {
  for (Entry& e : entries) {
    if (e.section == entry.section && e.name == entry.name) {
      e.raw = entry.raw;
      return;
    }
  }
  entries.push_back(entry);
}

const CSettingsStore::Entry* CSettingsStore::Find(const std::string& section,
                                                  const std::string& name) const {
  for (const Entry& e : m_entries) {
    if (e.section == section && e.name == name) return &e;
  }
  return nullptr;
}

void CSettingsStore::Load() {
  EnsureDirectory();
  std::string text;
  m_entries = ReadFile(text) ? Parse(text) : Entries{};
}

bool CSettingsStore::GetString(const std::string& section, const std::string& name,
                               std::string& value) const {
  const Entry* e = Find(section, name);
  if (!e) return false;
  value = Unescape(e->raw);
  return true;
}

bool CSettingsStore::GetInt(const std::string& section, const std::string& name,
                            int32_t& value) const {
  const Entry* e = Find(section, name);
  if (!e) return false;
  const std::string_view text = ini::CIniReader::Trim(e->raw, ini::CIniReader::Form::Exact);
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (first != last && *first == '+') ++first;
  int32_t parsed = 0;
  const auto [ptr, ec] = std::from_chars(first, last, parsed);
  if (ec != std::errc() || ptr != last || first == last) return false;
  value = parsed;
  return true;
}

void CSettingsStore::SetString(const std::string& section, const std::string& name,
                               const std::string& value) {
  const Entry entry{section, name, Escape(value)};
  Put(m_entries, entry);
  Put(m_pending, entry);
}

void CSettingsStore::SetInt(const std::string& section, const std::string& name, int32_t value) {
  const Entry entry{section, name, std::to_string(value)};
  Put(m_entries, entry);
  Put(m_pending, entry);
}

bool CSettingsStore::Commit() {
  if (!EnsureDirectory()) return false;
  CWriteLock lock(m_path);
  // Merging into less than the whole file would drop what the rest held.
  std::string text;
  if (!ReadFile(text) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
  Entries merged = Parse(text);
  for (const Entry& e : m_pending) Put(merged, e);
  CReplacementFile replacement(m_path);
  if (!replacement.Replace(Render(merged))) return false;
  m_pending.clear();
  m_entries = std::move(merged);
  return true;
}
