#include "ContentTypeTable.h"

#include "IniFile.h"

#include <new>

namespace gannet {

namespace {

CContentTypeTable* g_table = nullptr;

constexpr const char* kWhiteSpace = " \t\r\n\v\f";

}  // namespace

CContentTypeTable::CContentTypeTable(const CIniFile& ini) {
  int loaded = 0;
  for (const auto& [key, value] : ini.GetSection("contenttype")) {
    if (loaded == kSlots) break;
    m_entries[loaded].key = key.substr(0, kMaxText);
    m_entries[loaded].value = value.substr(0, kMaxText);
    ++loaded;
  }
}

CContentTypeTable* CContentTypeTable::AddRef(const CIniFile& ini) {
  if (g_table) {
    ++g_table->m_refs;
  } else {
    g_table = new (std::nothrow) CContentTypeTable(ini);
  }
  return g_table;
}

void CContentTypeTable::Release() {
  if (--m_refs > 0) return;
  if (g_table == this) g_table = nullptr;
  delete this;
}

CContentTypeTable* CContentTypeTable::Shared() { return g_table; }

bool CContentTypeTable::Lookup(std::string* contentType, std::string* extension) const {
  const size_t start = contentType->find_first_not_of(kWhiteSpace);
  if (start == std::string::npos) return false;
  const size_t end = contentType->find_first_of(kWhiteSpace, start);
  if (end != std::string::npos) contentType->resize(end);
  const std::string word = contentType->substr(start);
  for (const Entry& e : m_entries) {
    if (!e.key.empty() && e.key == word) {
      *extension = e.value;
      return true;
    }
  }
  return false;
}

}  // namespace gannet
