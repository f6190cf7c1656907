#pragma once
// The user's preferences: where the published directory lies, under which URL
// it is published, where pointer files go, the transforms a send applies and
// whether decoded files are removed after viewing, and how many days a
// published file is kept (keepDays, 0 keeps it for ever).
//
// A plain value: windows and dialogs each work on their own copy; only the
// application writes the store (CQuiverApp::SaveSettings).

#include <cstdint>
#include <string>

class CProfile;

class CSettings {
 public:
  // Copies every field, then Normalize().
  void Assign(const CSettings& other);
  // True when urlRoot and fileRoot are both non-empty.
  bool IsComplete() const;
  // Reads the record from `section` of `profile`. A missing string reads as
  // empty; a missing integer keeps the field's value.
  void Load(CProfile& profile, const std::string& section);
  // Normalizes, then writes every value into `profile` (the
  // application's reach the file when it commits its profile).
  void Save(CProfile& profile, const std::string& section);
  // urlRoot, fileRoot and urlFileDir end in "/" (when not empty).
  void Normalize();

  std::string urlRoot;
  std::string fileRoot;
  int32_t compressType = 1;
  int32_t encryptType = 2;
  int32_t hasUrlFileDir = 0;
  std::string urlFileDir;
  int32_t deleteTempFiles = 1;
  // Days a published file is kept before expiry deletes it; 0 keeps it for ever.
  int32_t keepDays = 0;
};
