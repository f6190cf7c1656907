// libFuzzer target for the web library's settings file "w3skua.ini": any
// bytes in the file are read (proxy, timeout, content types), build the
// content-type table, and every line of the file is looked up in it as a
// content type. Each short key without blanks among the first 51 is found
// again. The file lies in a private configuration folder of the process.

#include "ContentTypeTable.h"
#include "FuzzFiles.h"
#include "IniFile.h"
#include "WFCntl.h"
#include "WebFile.h"
#include "gannet.h"

#include <cstdlib>
#include <string>

using namespace gannet;

namespace {

bool Findable(const std::string& key) {
  return !key.empty() && key.size() <= CContentTypeTable::kMaxText &&
         key.find_first_of(" \t\r\n\v\f") == std::string::npos;
}

void LookUpKeys(const CIniFile& ini, const CContentTypeTable& table) {
  int slot = 0;
  for (const auto& entry : ini.GetSection("contenttype")) {
    const std::string& key = entry.first;
    if (slot++ == CContentTypeTable::kSlots) break;
    std::string type = key;
    std::string extension;
    if (Findable(key) && !table.Lookup(&type, &extension)) std::abort();
  }
}

void LookUpLines(const std::string& text, const CContentTypeTable& table) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string type = text.substr(start, end - start);
    std::string extension;
    table.Lookup(&type, &extension);
    start = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = PrivateConfigHome() + "/w3skua.ini";
  WriteWholeFile(path, data, size);
  const CIniFile ini("w3skua.ini");
  if (ini.Path() != path) std::abort();

  CContentTypeTable* table = CContentTypeTable::AddRef(ini);
  if (!table) std::abort();
  LookUpKeys(ini, *table);
  LookUpLines(std::string(reinterpret_cast<const char*>(data), size), *table);
  table->Release();

  // A web object reads the proxy and the timeout too.
  CWebFile file("http://fuzz.example/x", CWFCntl::Get());
  WebFileInfo info;
  file.GetInfo(&info);
  const std::string proxy = ini.GetString("proxy information", "http_proxy", "");
  if (std::string(info.proxy) != proxy.substr(0, 127).c_str()) std::abort();
  return 0;
}
