#include "IniFile.h"

#include "ini/IniReader.h"
#include "ini/UserFolders.h"

namespace gannet {

using ini::CIniReader;

CIniFile::CIniFile(const std::string& name) : m_path(ini::FindSettingsFile(name)) {}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  const CIniReader reader = CIniReader::FromFile(m_path, CIniReader::Form::Loose);
  const std::string* value = reader.Find(section, key);
  return value ? *value : def;
}

std::vector<std::pair<std::string, std::string>> CIniFile::GetSection(
    const std::string& section) const {
  const CIniReader reader = CIniReader::FromFile(m_path, CIniReader::Form::Loose);
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::string& key : reader.Keys(section)) {
    std::string value = *reader.Find(section, key);
    entries.emplace_back(std::move(key), std::move(value));
  }
  return entries;
}

}  // namespace gannet
