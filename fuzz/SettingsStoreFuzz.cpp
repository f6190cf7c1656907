// libFuzzer target for the settings store: any bytes in the user's settings
// file load into a settings record without aborting, and whatever record
// they give is saved and loads back unchanged. The file lies in a private
// configuration folder of the process.

#include "FuzzFiles.h"
#include "app/HeadlessUserInterface.h"
#include "app/QuiverApp.h"
#include "platform/SettingsStore.h"

#include <cstdlib>
#include <string>
#include <tuple>

namespace {

auto Fields(const CSettings& s) {
  return std::make_tuple(s.urlRoot, s.fileRoot, s.compressType, s.encryptType,
                         s.hasUrlFileDir, s.urlFileDir, s.deleteTempFiles);
}

// The settings an application of this process loads from the store now.
CSettings LoadedSettings(CUserInterface& ui) {
  CQuiverApp app(ui);
  app.SetRegistryKey(CQuiverApp::kRegistryKey);
  app.LoadSettings();
  return app.GetSettings();
}

const std::string& ProfilePath(CUserInterface& ui) {
  static const std::string path = [&ui] {
    PrivateConfigHome();
    CQuiverApp app(ui);
    app.SetRegistryKey(CQuiverApp::kRegistryKey);
    // Loading makes the store's folders.
    CSettingsStore(app.ProfilePath()).Load();
    return app.ProfilePath();
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CHeadlessUserInterface ui;
  const std::string& path = ProfilePath(ui);
  WriteWholeFile(path, data, size);

  CSettingsStore store(path);
  store.Load();
  std::string text;
  int32_t number = 0;
  store.GetString("Settings", "UrlRoot", text);
  store.GetInt("Settings", "CompressType", number);

  const CSettings loaded = LoadedSettings(ui);
  {
    CQuiverApp app(ui);
    app.SetRegistryKey(CQuiverApp::kRegistryKey);
    app.SaveSettings(loaded);
  }
  if (Fields(LoadedSettings(ui)) != Fields(loaded)) std::abort();
  return 0;
}
