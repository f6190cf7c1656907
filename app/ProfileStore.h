#pragma once
// The profile over the user's settings file: the values below a registry
// key, in the file of that key under the user's configuration folder
// (platform/SettingsStore.h). The file is read at the first access after
// the key is set; writes stay in memory until CommitProfile.

#include "app/Profile.h"

#include <memory>
#include <string>

class CSettingsStore;

class CProfileStore : public CProfile {
 public:
  // `appName` names the file: "<appName>.ini" in the key's folder.
  explicit CProfileStore(std::string appName);
  ~CProfileStore() override;

  // Addresses the store of `key` ("Marrow/Quiver/V1.1"); what was written
  // and not committed under the previous key is dropped.
  void SetRegistryKey(const std::string& key);
  // The settings file of the current registry key.
  std::string ProfilePath() const;

  std::string GetProfileString(const std::string& section, const std::string& entry,
                               const std::string& fallback) override;
  int32_t GetProfileInt(const std::string& section, const std::string& entry,
                        int32_t fallback) override;
  void WriteProfileString(const std::string& section, const std::string& entry,
                          const std::string& value) override;
  void WriteProfileInt(const std::string& section, const std::string& entry,
                       int32_t value) override;
  // Writes the store's file atomically; false when that failed.
  bool CommitProfile();

 private:
  CSettingsStore& Store();

  std::string m_appName;
  std::string m_registryKey;
  std::unique_ptr<CSettingsStore> m_store;
};
