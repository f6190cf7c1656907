#include "app/Settings.h"

#include "app/QuiverApp.h"

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

void CSettings::Load(CQuiverApp& app, const std::string& section) {
  m_urlRoot = app.GetProfileString(section, "UrlRoot", "");
  m_fileRoot = app.GetProfileString(section, "FileRoot", "");
  m_compressType = app.GetProfileInt(section, "CompressType", m_compressType);
  m_encryptType = app.GetProfileInt(section, "EncryptType", m_encryptType);
  m_hasUrlFileDir = app.GetProfileInt(section, "HasUrlFileDir", m_hasUrlFileDir);
  m_urlFileDir = app.GetProfileString(section, "UrlFileDir", "");
  m_deleteTempFiles = app.GetProfileInt(section, "DeleteTempFiles", m_deleteTempFiles);
  m_keepDays = app.GetProfileInt(section, "KeepDays", m_keepDays);
  Normalize();
}

void CSettings::Save(CQuiverApp& app, const std::string& section) {
  Normalize();
  app.WriteProfileString(section, "UrlRoot", m_urlRoot);
  app.WriteProfileString(section, "FileRoot", m_fileRoot);
  app.WriteProfileInt(section, "CompressType", m_compressType);
  app.WriteProfileInt(section, "EncryptType", m_encryptType);
  app.WriteProfileInt(section, "HasUrlFileDir", m_hasUrlFileDir);
  app.WriteProfileString(section, "UrlFileDir", m_urlFileDir);
  app.WriteProfileInt(section, "DeleteTempFiles", m_deleteTempFiles);
  app.WriteProfileInt(section, "KeepDays", m_keepDays);
}

void CSettings::Normalize() {
  EnsureTrailing(m_urlRoot, "/");
  EnsureTrailing(m_fileRoot, "/");
  EnsureTrailing(m_urlFileDir, "/");
}

void CSettings::EnsureTrailing(std::string& text, const std::string& separator) {
  if (!text.empty() && text.substr(text.size() - 1) != separator) text += separator;
}
