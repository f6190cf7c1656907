// libFuzzer target for the HTTP driver's answer handling: any bytes, taken
// as the whole answer of a server and received in pieces of varying size,
// go through the status line, the header block, the content type (mapped by
// a small table) and the body without aborting. A transfer that succeeds
// leaves a file of the length it reports and a status of at most 200; the
// driver's files go into a private temporary folder and are removed.

#include "AnswerSocket.h"
#include "ContentTypeTable.h"
#include "FuzzFiles.h"
#include "HttpDriver.h"
#include "OutputFile.h"
#include "IniFile.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace gannet;

namespace {

constexpr char kTable[] =
    "[contenttype]\n"
    "text/html=.htm\n"
    "image/gif=.gif\n"
    "application/x-quiver=.qvr\n"
    "text/plain=toolongextension\n"
    "application/evil=/x\n";

CContentTypeTable* Table() {
  static CContentTypeTable* table = [] {
    const std::string path = PrivateConfigHome() + "/w3skua.ini";
    WriteWholeFile(path, reinterpret_cast<const uint8_t*>(kTable), sizeof kTable - 1);
    return CContentTypeTable::AddRef(CIniFile("w3skua.ini"));
  }();
  return table;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CContentTypeTable* table = Table();
  std::string localName;
  if (!COutputFile::ChooseTempFile(&localName)) std::abort();

  CAnswerSocket socket(std::string(reinterpret_cast<const char*>(data), size));
  CHttpDriver driver("http://fuzz.example/x", localName, "", &socket, table);
  std::string name;
  int32_t length = -1;
  const int32_t loaded = driver.Load(&name, &length);
  DriverInfo info;
  driver.GetInfo(&info);
  struct stat st;
  const bool exists = lstat(info.localName.c_str(), &st) == 0;
  if (loaded) {
    if (!exists || st.st_size != length || info.statusCode > 200 || name != info.localName) {
      std::abort();
    }
  }
  if (exists) unlink(info.localName.c_str());
  return 0;
}
