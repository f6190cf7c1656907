// qvrinfo: prints what a pointer file holds, as the view window shows it.
//   qvrinfo FILE.qvr
//   qvrinfo --key FILE.qvr   prints only the Strong key, in hex (for other
//                            readers of the published file)
// Exit status 0, or 1 when the file cannot be read (the reason on stderr) or,
// with --key, holds no Strong key; 2 for a usage error.

#include "app/PointerDoc.h"
#include "pipeline/StrongCryptFilter.h"
#include "platform/SystemError.h"

#include <cstdio>
#include <cstring>

namespace {

int PrintKey(CPointerDoc& doc) {
  const CStrongCryptFilter* strong = doc.FindFilter<CStrongCryptFilter>();
  if (!strong) {
    std::fprintf(stderr, "qvrinfo: no Strong key\n");
    return 1;
  }
  for (uint8_t byte : strong->GetKey()) std::printf("%02x", byte);
  std::printf("\n");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool keyOnly = argc == 3 && std::strcmp(argv[1], "--key") == 0;
  if (argc != 2 && !keyOnly) {
    std::fprintf(stderr, "usage: qvrinfo [--key] FILE.qvr\n");
    return 2;
  }
  const char* path = argv[argc - 1];
  CPointerDoc doc;
  if (!doc.ReadFromFile(path)) {
    std::fprintf(stderr, "qvrinfo: %s: %s\n", path, SystemErrorMessage(doc.GetError()).c_str());
    return 1;
  }
  if (keyOnly) return PrintKey(doc);
  std::printf("URL:              %s\n", doc.GetUrl().c_str());
  std::printf("Size:             %u bytes\n", doc.GetSize());
  std::printf("Compression Type: %s\n", doc.GetCompressionDescription().c_str());
  std::printf("Encryption Type:  %s\n", doc.GetEncryptionDescription().c_str());
  return 0;
}
