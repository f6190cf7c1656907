// A FUSE file system over a folder that, like a network file system
// reporting a delayed write error, fails the close of every file written
// through it with EIO. It serves what Quiver does there: creating, writing,
// reading back, removing.
//
//   failing-close-fs BACKING MOUNTPOINT [fuse options...]

#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* g_backing;
// Which backing descriptors were written through: their closes fail.
static char g_written[4096];

static void Backing(const char* path, char out[PATH_MAX]) {
  snprintf(out, PATH_MAX, "%s%s", g_backing, path);
}

static int Result(int rc) { return rc < 0 ? -errno : rc; }

static int FsGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  char b[PATH_MAX];
  Backing(path, b);
  return Result(fi ? fstat((int)fi->fh, st) : lstat(b, st));
}

static int FsCreate(const char* path, mode_t mode, struct fuse_file_info* fi) {
  char b[PATH_MAX];
  Backing(path, b);
  const int fd = open(b, fi->flags | O_CREAT, mode);
  fi->fh = (uint64_t)fd;
  return Result(fd < 0 ? -1 : 0);
}

static int FsRead(const char* path, char* buf, size_t size, off_t offset,
                  struct fuse_file_info* fi) {
  (void)path;
  return Result((int)pread((int)fi->fh, buf, size, offset));
}

static int FsWrite(const char* path, const char* buf, size_t size, off_t offset,
                   struct fuse_file_info* fi) {
  (void)path;
  if (fi->fh < sizeof g_written) g_written[fi->fh] = 1;
  return Result((int)pwrite((int)fi->fh, buf, size, offset));
}

static int FsFlush(const char* path, struct fuse_file_info* fi) {
  (void)path;
  return fi->fh < sizeof g_written && g_written[fi->fh] ? -EIO : 0;
}

static int FsRelease(const char* path, struct fuse_file_info* fi) {
  (void)path;
  if (fi->fh < sizeof g_written) g_written[fi->fh] = 0;
  return Result(close((int)fi->fh));
}

static int FsUnlink(const char* path) {
  char b[PATH_MAX];
  Backing(path, b);
  return Result(unlink(b));
}

// A file removed while open goes at once, not to a hidden name.
static void* FsInit(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  (void)conn;
  cfg->hard_remove = 1;
  return NULL;
}

static const struct fuse_operations kOperations = {
    .init = FsInit,
    .getattr = FsGetattr,
    .create = FsCreate,
    .read = FsRead,
    .write = FsWrite,
    .flush = FsFlush,
    .release = FsRelease,
    .unlink = FsUnlink,
};

int main(int argc, char* argv[]) {
  g_backing = argc >= 3 ? realpath(argv[1], NULL) : NULL;
  if (!g_backing) return 2;
  argv[1] = argv[0];
  return fuse_main(argc - 1, argv + 1, &kOperations, NULL);
}
