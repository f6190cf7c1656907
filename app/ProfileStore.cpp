#include "app/ProfileStore.h"

#include "platform/Directories.h"
#include "platform/SettingsStore.h"

CProfileStore::CProfileStore(std::string appName) : m_appName(std::move(appName)) {}

CProfileStore::~CProfileStore() = default;

void CProfileStore::SetRegistryKey(const std::string& key) {
  m_registryKey = key;
  m_store.reset();
}

std::string CProfileStore::ProfilePath() const {
  return UserConfigDirectory() + "/" + m_registryKey + "/" + m_appName + ".ini";
}

CSettingsStore& CProfileStore::Store() {
  if (!m_store) {
    m_store = std::make_unique<CSettingsStore>(ProfilePath());
    m_store->Load();
  }
  return *m_store;
}

std::string CProfileStore::GetProfileString(const std::string& section, const std::string& entry,
                                            const std::string& fallback) {
  std::string value;
  return Store().GetString(section, entry, value) ? value : fallback;
}

int32_t CProfileStore::GetProfileInt(const std::string& section, const std::string& entry,
                                     int32_t fallback) {
  int32_t value = 0;
  return Store().GetInt(section, entry, value) ? value : fallback;
}

void CProfileStore::WriteProfileString(const std::string& section, const std::string& entry,
                                       const std::string& value) {
  Store().SetString(section, entry, value);
}

void CProfileStore::WriteProfileInt(const std::string& section, const std::string& entry,
                                    int32_t value) {
  Store().SetInt(section, entry, value);
}

bool CProfileStore::CommitProfile() { return Store().Commit(); }
