/* The public header used from C: a C program links libgannet.so and calls
 * the exports. It works in a private temporary folder of its own.
 *   gannet_c_test [URL EXPECTED]: also fetches URL (an https one, say) and
 *   compares what arrives with the file EXPECTED. */

#include "gannet.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

static int failures = 0;

#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                \
    }                                                            \
  } while (0)

/* A socket bound to a free port of 127.0.0.1, which *port receives. */
static int BoundSocket(int* port) {
  struct sockaddr_in addr;
  socklen_t size = sizeof addr;
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  memset(&addr, 0, sizeof addr);
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, (struct sockaddr*)&addr, sizeof addr);
  getsockname(fd, (struct sockaddr*)&addr, &size);
  *port = ntohs(addr.sin_port);
  return fd;
}

/* A port on 127.0.0.1 where nothing listens. */
static int ClosedPort(void) {
  int port;
  close(BoundSocket(&port));
  return port;
}

enum { kBody = 300000 };

/* A child process on 127.0.0.1 answers one request with kBody bytes (and
 * their Content-Length); returns its port. */
static int ServeOnce(void) {
  static char body[kBody];
  int port, fd = BoundSocket(&port), peer;
  listen(fd, 1);
  if (fork() == 0) {
    alarm(20);
    peer = accept(fd, NULL, NULL);
    recv(peer, body, sizeof body, 0);
    dprintf(peer, "HTTP/1.0 200 OK\r\nContent-Length: %d\r\n\r\n", kBody);
    memset(body, 'b', sizeof body);
    send(peer, body, sizeof body, MSG_NOSIGNAL);
    _exit(0);
  }
  close(fd);
  return port;
}

struct Follow {
  int64_t stopAt, received, total;
};

static int32_t FollowTransfer(int64_t received, int64_t total, void* cookie) {
  struct Follow* follow = (struct Follow*)cookie;
  follow->received = received;
  follow->total = total;
  return follow->stopAt >= 0 && received >= follow->stopAt;
}

/* Follows a whole transfer, then stops one once its file holds data. */
static void CheckProgress(void) {
  static const struct { int64_t stopAt; int32_t result, code; int error, fileLeft; } rows[] = {
      {-1, 0, 0, 0, 1},
      {100000, -1, 7, ECANCELED, 0},
  };
  char url[128], name[256];
  int32_t code;
  size_t i;
  for (i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    struct Follow follow = {rows[i].stopAt, 0, 0};
    WebHandle web;
    snprintf(url, sizeof url, "http://127.0.0.1:%d/big.bin", ServeOnce());
    web = webObjectInit(url, 0, 0, 0);
    CHECK(webFileProgressSet(web, FollowTransfer, &follow) == 0);
    CHECK(webFileAcquire(web) == rows[i].result && errno == rows[i].error);
    CHECK(webFatalErrorGet(web, &code, NULL) == 0 && code == rows[i].code);
    CHECK(webSocketErrorGet(web, &code) == 0 && code == 0); /* after the refused one */
    webFileLocalNameGet(web, name);
    CHECK((access(name, F_OK) == 0) == rows[i].fileLeft);
    CHECK(follow.total == kBody && (rows[i].stopAt >= 0 || follow.received == kBody));
    unlink(name);
    webObjectDelete(web);
    wait(NULL);
  }
  CHECK(webFileProgressSet(NULL, FollowTransfer, NULL) == -1);
}

/* Fetches url and checks that the local file holds what path holds. */
static void FetchAndCompare(const char* url, const char* path) {
  char name[256];
  char command[600];
  char reason[1024];
  int32_t code = 0;
  WebHandle web = webObjectInit(url, 0, 0, 0);
  if (webFileAcquire(web) != 0 && webFatalErrorGet(web, &code, reason) == 0) {
    fprintf(stderr, "fetch failed: %s\n", reason);
  }
  CHECK(webFileLocalNameGet(web, name) == 0);
  snprintf(command, sizeof command, "cmp -s '%s' '%s'", name, path);
  CHECK(system(command) == 0);
  unlink(name);
  webObjectDelete(web);
}

int main(int argc, char** argv) {
  char root[] = "/tmp/gannet-c-test.XXXXXX";
  char url[128];
  char text[256];
  char name[256];
  char expected[128];
  int32_t code = -1;
  WebFileInfo info;
  WebHandle web;

  if (!mkdtemp(root)) return 2;
  setenv("HOME", root, 1);
  setenv("XDG_CONFIG_HOME", root, 1);
  setenv("TMPDIR", root, 1);

  CHECK(webFatalErrorGet(NULL, &code, text) == -1);
  CHECK(webFileAcquire(NULL) == -1);
  CHECK(webFileInfoGet(NULL, &info) == -1);
  CHECK(webFileWait(3) == 0);
  CHECK(webFilePreserve(1, 2) == -1);

  web = webObjectInit("", 0, 0, 0);
  CHECK(web != NULL);
  CHECK(webFatalErrorGet(web, &code, text) == 0 && code == 1);
  CHECK(strcmp(text, "No URL provided.") == 0);
  CHECK(webFileAcquire(web) == -1);
  CHECK(webFatalErrorGet(web, &code, NULL) == 0 && code == 2);
  webObjectDelete(web);

  snprintf(url, sizeof url, "http://127.0.0.1:%d/a.qvr", ClosedPort());
  web = webObjectInit(url, 0, 0, 0);
  CHECK(webFatalErrorGet(web, &code, text) == 0 && code == 0);
  CHECK(webFileLocalNameGet(web, name) == 0);
  CHECK(strncmp(name, root, strlen(root)) == 0 && strcmp(name + strlen(name) - 4, ".tmp") == 0);
  CHECK(webFileAcquire(web) == -1);
  CHECK(webFatalErrorGet(web, &code, text) == 0 && code == 10);
  snprintf(expected, sizeof expected, "Winsock Error 10061: Connection refused%34s", "");
  CHECK(strcmp(text, expected) == 0);
  CHECK(webSocketErrorGet(web, &code) == 0 && code == 10061);
  memset(&info, 'Z', sizeof info);
  CHECK(webFileInfoGet(web, &info) == 0);
  CHECK(strcmp(info.url, url) == 0);
  CHECK(((const char*)&info)[772] == '\0');
  CHECK(info.completed == 0 && info.reserved == 0 && info.requestLength > 0);
  webObjectDelete(web);

  CheckProgress();
  if (argc == 3) FetchAndCompare(argv[1], argv[2]);

  rmdir(root);
  if (failures == 0) printf("gannet C interface: all checks passed\n");
  return failures == 0 ? 0 : 1;
}
