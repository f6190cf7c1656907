#pragma once
// The process-wide table that maps a response's content type to the file
// extension of the fetched file, loaded from section "contenttype" of the
// settings file. Shared by all web objects through a reference count: the
// first reference creates and loads it, the last release frees it, so the
// next web object loads the file again.

#include <array>
#include <cstdint>
#include <string>

namespace gannet {

class CIniFile;

class CContentTypeTable {
 public:
  static constexpr int kSlots = 51;
  static constexpr size_t kMaxText = 255;

  // The shared table with one more reference, created and loaded from ini
  // when none exists. Null when it cannot be allocated.
  static CContentTypeTable* AddRef(const CIniFile& ini);
  // Gives one reference back; frees the table at the last one.
  void Release();
  // The shared table, or null.
  static CContentTypeTable* Shared();

  // Looks up the first word of *contentType (leading white space skipped,
  // ended by the next white space) among the keys, case-sensitively. Cuts
  // *contentType after that word, leading blanks kept. True with the mapped
  // value in *extension when a key matches.
  bool Lookup(std::string* contentType, std::string* extension) const;

 private:
  struct Entry {
    std::string key;
    std::string value;
  };

  explicit CContentTypeTable(const CIniFile& ini);

  int32_t m_refs = 1;
  std::array<Entry, kSlots> m_entries;
};

}  // namespace gannet
