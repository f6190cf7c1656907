#include "app/Settings.h"

#include "app/Profile.h"

void CSettings::Assign(const CSettings& other) {
  m_urlRoot = other.m_urlRoot;
  m_fileRoot = other.m_fileRoot;
  m_compressType = other.m_compressType;
  m_encryptType = other.m_encryptType;
  m_hasUrlFileDir = other.m_hasUrlFileDir;
  m_urlFileDir = other.m_urlFileDir;
  m_deleteTempFiles = other.m_deleteTempFiles;
  m_keepDays = other.m_keepDays;
  Normalize();
}

bool CSettings::IsComplete() const { return !m_urlRoot.empty() && !m_fileRoot.empty(); }

void CSettings::Load(CProfile& profile, const std::string& section) {
  m_urlRoot = profile.GetProfileString(section, "UrlRoot", "");
  m_fileRoot = profile.GetProfileString(section, "FileRoot", "");
  m_compressType = profile.GetProfileInt(section, "CompressType", m_compressType);
  m_encryptType = profile.GetProfileInt(section, "EncryptType", m_encryptType);
  m_hasUrlFileDir = profile.GetProfileInt(section, "HasUrlFileDir", m_hasUrlFileDir);
  m_urlFileDir = profile.GetProfileString(section, "UrlFileDir", "");
  m_deleteTempFiles = profile.GetProfileInt(section, "DeleteTempFiles", m_deleteTempFiles);
  m_keepDays = profile.GetProfileInt(section, "KeepDays", m_keepDays);
  Normalize();
}

void CSettings::Save(CProfile& profile, const std::string& section) {
  Normalize();
  profile.WriteProfileString(section, "UrlRoot", m_urlRoot);
  profile.WriteProfileString(section, "FileRoot", m_fileRoot);
  profile.WriteProfileInt(section, "CompressType", m_compressType);
  profile.WriteProfileInt(section, "EncryptType", m_encryptType);
  profile.WriteProfileInt(section, "HasUrlFileDir", m_hasUrlFileDir);
  profile.WriteProfileString(section, "UrlFileDir", m_urlFileDir);
  profile.WriteProfileInt(section, "DeleteTempFiles", m_deleteTempFiles);
  profile.WriteProfileInt(section, "KeepDays", m_keepDays);
}

void CSettings::Normalize() {
  EnsureTrailing(m_urlRoot, "/");
  EnsureTrailing(m_fileRoot, "/");
  EnsureTrailing(m_urlFileDir, "/");
}

void CSettings::EnsureTrailing(std::string& text, const std::string& separator) {
  if (!text.empty() && text.substr(text.size() - 1) != separator) text += separator;
}
