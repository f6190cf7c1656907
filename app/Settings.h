#pragma once
// The user's preferences: where the published directory lies, under which URL
// it is published, where pointer files go, the transforms a send applies and
// whether decoded files are removed after viewing, and how many days a
// published file is kept (KeepDays, 0 keeps it for ever).
//
// Windows and dialogs each work on their own copy; only the application
// writes the store (CQuiverApp::SaveSettings).

#include <cstdint>
#include <string>

class CProfile;

class CSettings {
 public:
  CSettings() = default;
  CSettings(const CSettings&) = default;
  CSettings& operator=(const CSettings&) = default;
  virtual ~CSettings() = default;

  // Copies every field, then Normalize().
  virtual void Assign(const CSettings& other);
  // True when UrlRoot and FileRoot are both non-empty.
  virtual bool IsComplete() const;
  virtual int32_t& HasUrlFileDir() { return m_hasUrlFileDir; }
  // Reads the record from `section` of `profile`. A missing string reads as
  // empty; a missing integer keeps the field's value.
  virtual void Load(CProfile& profile, const std::string& section);
  // Normalizes, then writes every value into `profile` (the
  // application's reach the file when it commits its profile).
  virtual void Save(CProfile& profile, const std::string& section);
  virtual std::string& UrlRoot() { return m_urlRoot; }
  virtual std::string& FileRoot() { return m_fileRoot; }
  virtual int32_t& CompressType() { return m_compressType; }
  virtual int32_t& EncryptType() { return m_encryptType; }
  virtual std::string& UrlFileDir() { return m_urlFileDir; }
  virtual int32_t& DeleteTempFiles() { return m_deleteTempFiles; }
  // Days a published file is kept before expiry deletes it; 0 keeps it for ever.
  virtual int32_t& KeepDays() { return m_keepDays; }
  // UrlRoot ends in "/", FileRoot and UrlFileDir in "/" (when not empty).
  virtual void Normalize();
  // Appends `separator` to a non-empty `text` whose last character differs.
  virtual void EnsureTrailing(std::string& text, const std::string& separator);

  const std::string& UrlRoot() const { return m_urlRoot; }
  const std::string& FileRoot() const { return m_fileRoot; }
  int32_t CompressType() const { return m_compressType; }
  int32_t EncryptType() const { return m_encryptType; }
  int32_t HasUrlFileDir() const { return m_hasUrlFileDir; }
  const std::string& UrlFileDir() const { return m_urlFileDir; }
  int32_t DeleteTempFiles() const { return m_deleteTempFiles; }
  int32_t KeepDays() const { return m_keepDays; }

 private:
  std::string m_urlRoot;
  std::string m_fileRoot;
  int32_t m_compressType = 1;
  int32_t m_encryptType = 2;
  int32_t m_hasUrlFileDir = 0;
  std::string m_urlFileDir;
  int32_t m_deleteTempFiles = 1;
  int32_t m_keepDays = 0;
};
