#pragma once
// A profile held in memory, for testing settings records without a store.

#include "app/Profile.h"

#include <map>
#include <string>

class CMemoryProfile : public CProfile {
 public:
  std::string GetProfileString(const std::string& section, const std::string& entry,
                               const std::string& fallback) override {
    const auto it = values.find(section + "/" + entry);
    return it == values.end() ? fallback : it->second;
  }
  int32_t GetProfileInt(const std::string& section, const std::string& entry,
                        int32_t fallback) override {
    const auto it = values.find(section + "/" + entry);
    return it == values.end() ? fallback : std::stoi(it->second);
  }
  void WriteProfileString(const std::string& section, const std::string& entry,
                          const std::string& value) override {
    values[section + "/" + entry] = value;
  }
  void WriteProfileInt(const std::string& section, const std::string& entry,
                       int32_t value) override {
    values[section + "/" + entry] = std::to_string(value);
  }

  // "section/entry" -> value as text.
  std::map<std::string, std::string> values;
};
