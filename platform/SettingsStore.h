#pragma once
// A per-user settings file in the sectioned "Name=value" format, read in
// the exact form of ini/IniReader.h (names as written, values with their
// blanks; of two equal names the later value counts).
//
// Strings are stored as text with backslash escapes for "\", line feed and
// carriage return; integers as signed decimal. A value that does not parse as
// the kind asked for reads as missing. A file that is absent, unreadable, a
// directory or garbage reads as empty; nothing here ever throws or crashes on
// what the file holds.
//
// Writes are collected and written by Commit() as one atomic replacement of
// the file, so a reader never sees a torn file and, of two processes
// committing at once, the later one's values stand whole.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CSettingsStore {
 public:
  explicit CSettingsStore(std::string path);

  // Creates the file's directories when missing, then reads the file; a file
  // that cannot be read whole reads as empty.
  void Load();

  bool GetString(const std::string& section, const std::string& name, std::string& value) const;
  bool GetInt(const std::string& section, const std::string& name, int32_t& value) const;

  // Change the loaded copy and remember the change for Commit().
  void SetString(const std::string& section, const std::string& name, const std::string& value);
  void SetInt(const std::string& section, const std::string& name, int32_t value);

  // Re-reads the file under an exclusive lock, applies the changes made since
  // the last Commit() and replaces the file atomically. False when the file
  // could not be read whole (a missing file reads as empty) or could not be
  // replaced; the file is then left as it was (the thread's last error says
  // why).
  bool Commit();

 private:
  struct Entry {
    std::string section;
    std::string name;
    std::string raw;  // as stored in the file, escapes included
  };
  using Entries = std::vector<Entry>;

  static Entries Parse(const std::string& text);
  static std::string Render(const Entries& entries);
  static void Put(Entries& entries, const Entry& entry);
  const Entry* Find(const std::string& section, const std::string& name) const;
  bool ReadFile(std::string& text) const;
  bool EnsureDirectory() const;

  std::string m_path;
  Entries m_entries;
  Entries m_pending;
};
