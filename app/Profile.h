#pragma once
// The narrow view of a settings store that a settings record loads from and
// saves into: strings and integers addressed by section and name. The
// application implements it over the user's settings file; anything else
// (a test, a tool) may hold the values in memory.

#include <cstdint>
#include <string>

class CProfile {
 public:
  virtual ~CProfile() = default;

  // The stored string, or `fallback` when the value is missing.
  virtual std::string GetProfileString(const std::string& section, const std::string& entry,
                                       const std::string& fallback) = 0;
  // The stored integer, or `fallback` when the value is missing or is not an
  // integer.
  virtual int32_t GetProfileInt(const std::string& section, const std::string& entry,
                                int32_t fallback) = 0;
  // Replaces the value; where it is kept until then is the profile's affair.
  virtual void WriteProfileString(const std::string& section, const std::string& entry,
                                  const std::string& value) = 0;
  virtual void WriteProfileInt(const std::string& section, const std::string& entry,
                               int32_t value) = 0;
};
