// qvrinfo: prints what a pointer file holds, as the view window shows it.
//   qvrinfo FILE.qvr
// Exit status 0, or 1 when the file cannot be read (the reason on stderr).

#include "app/PointerDoc.h"
#include "platform/SystemError.h"

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qvrinfo FILE.qvr\n");
    return 2;
  }
  CPointerDoc doc;
  if (!doc.ReadFromFile(argv[1])) {
    std::fprintf(stderr, "qvrinfo: %s: %s\n", argv[1], SystemErrorMessage(doc.GetError()).c_str());
    return 1;
  }
  std::printf("URL:              %s\n", doc.GetUrl().c_str());
  std::printf("Size:             %u bytes\n", doc.GetSize());
  std::printf("Compression Type: %s\n", doc.GetCompressionDescription().c_str());
  std::printf("Encryption Type:  %s\n", doc.GetEncryptionDescription().c_str());
  return 0;
}
