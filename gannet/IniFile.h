#pragma once
// Read-only access to a sectioned settings file in the loose form of
// ini/IniReader.h: section and key names are found without regard to case,
// blanks around "=" and at the ends of a line are ignored, lines starting
// with ";" are comments. The file is read afresh on every call, so edits
// take effect at once; a missing or unreadable file reads as empty.

#include <string>
#include <utility>
#include <vector>

namespace gannet {

class CIniFile {
 public:
  // name is a bare file name: it is looked for as
  // ${XDG_CONFIG_HOME:-$HOME/.config}/name, then as /etc/name.
  explicit CIniFile(const std::string& name);

  // The full path that is read: the per-user file when it exists, else the
  // system-wide one (which may not exist either).
  const std::string& Path() const { return m_path; }

  // The value of the first key of that name in the section, or def when the
  // section or the key is missing.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& def) const;

  // The keys of the section in file order, each with the value GetString
  // gives it (that of the first key of its name), from one reading of the
  // file; empty when the section is missing.
  std::vector<std::pair<std::string, std::string>> GetSection(const std::string& section) const;

 private:
  std::string m_path;
};

}  // namespace gannet
