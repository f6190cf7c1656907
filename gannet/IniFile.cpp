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

std::vector<std::string> CIniFile::GetKeys(const std::string& section) const {
  return CIniReader::FromFile(m_path, CIniReader::Form::Loose).Keys(section);
}

}  // namespace gannet
