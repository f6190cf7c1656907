#include "app/Settings.h"

#include "app/Profile.h"

namespace {

// Appends `separator` to a non-empty `text` whose last character differs.
void EnsureTrailing(std::string& text, char separator) {
  if (!text.empty() && text.back() != separator) text += separator;
}

}  // namespace

void CSettings::Assign(const CSettings& other) {
  *this = other;
  Normalize();
}

bool CSettings::IsComplete() const { return !urlRoot.empty() && !fileRoot.empty(); }

void CSettings::Load(CProfile& profile, const std::string& section) {
  urlRoot = profile.GetProfileString(section, "UrlRoot", "");
  fileRoot = profile.GetProfileString(section, "FileRoot", "");
  compressType = profile.GetProfileInt(section, "CompressType", compressType);
  encryptType = profile.GetProfileInt(section, "EncryptType", encryptType);
  hasUrlFileDir = profile.GetProfileInt(section, "HasUrlFileDir", hasUrlFileDir);
  urlFileDir = profile.GetProfileString(section, "UrlFileDir", "");
  deleteTempFiles = profile.GetProfileInt(section, "DeleteTempFiles", deleteTempFiles);
  keepDays = profile.GetProfileInt(section, "KeepDays", keepDays);
  Normalize();
}

void CSettings::Save(CProfile& profile, const std::string& section) {
  Normalize();
  profile.WriteProfileString(section, "UrlRoot", urlRoot);
  profile.WriteProfileString(section, "FileRoot", fileRoot);
  profile.WriteProfileInt(section, "CompressType", compressType);
  profile.WriteProfileInt(section, "EncryptType", encryptType);
  profile.WriteProfileInt(section, "HasUrlFileDir", hasUrlFileDir);
  profile.WriteProfileString(section, "UrlFileDir", urlFileDir);
  profile.WriteProfileInt(section, "DeleteTempFiles", deleteTempFiles);
  profile.WriteProfileInt(section, "KeepDays", keepDays);
}

void CSettings::Normalize() {
  EnsureTrailing(urlRoot, '/');
  EnsureTrailing(fileRoot, '/');
  EnsureTrailing(urlFileDir, '/');
}
