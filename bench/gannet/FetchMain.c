/* gannet_fetch URL OUT: fetches URL through libgannet and moves the local
 * file to OUT. Exit status 0 on success, 1 with the library's message. */

#include "gannet.h"

#include <stdio.h>

int main(int argc, char** argv) {
  WebHandle web;
  int32_t code = -1;
  char text[256];
  char name[256];
  int ok;

  if (argc != 3) {
    fprintf(stderr, "usage: gannet_fetch URL OUT\n");
    return 2;
  }
  web = webObjectInit(argv[1], 0, 0, 0);
  ok = web && webFileAcquire(web) == 0 && webFileLocalNameGet(web, name) == 0 &&
       rename(name, argv[2]) == 0;
  if (!ok) {
    webFatalErrorGet(web, &code, text);
    fprintf(stderr, "gannet_fetch: code %d: %s\n", (int)code, text);
  }
  webObjectDelete(web);
  return ok ? 0 : 1;
}
