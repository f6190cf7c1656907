// A FUSE file system that mirrors a folder and, like a network file system
// reporting a delayed write error, fails the close of every file written
// through it with EIO. Everything else (reading, listing, removing) works.
//
//   failing-close-fs BACKING MOUNTPOINT [fuse options...]

#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* g_backing;

// The backing path of `path` (which starts with "/").
static void Backing(const char* path, char out[PATH_MAX]) {
  snprintf(out, PATH_MAX, "%s%s", g_backing, path);
}

static int Result(int rc) { return rc < 0 ? -errno : rc; }

static int FsGetattr(const char* path, struct stat* st, struct fuse_file_info* fi) {
  if (fi) return Result(fstat((int)fi->fh, st));
  char b[PATH_MAX];
  Backing(path, b);
  return Result(lstat(b, st));
}

static int FsReaddir(const char* path, void* buf, fuse_fill_dir_t fill, off_t offset,
                     struct fuse_file_info* fi, enum fuse_readdir_flags flags) {
  (void)offset, (void)fi, (void)flags;
  char b[PATH_MAX];
  Backing(path, b);
  DIR* d = opendir(b);
  if (!d) return -errno;
  for (struct dirent* e; (e = readdir(d)) != NULL;) fill(buf, e->d_name, NULL, 0, 0);
  closedir(d);
  return 0;
}

static int FsOpen(const char* path, struct fuse_file_info* fi) {
  char b[PATH_MAX];
  Backing(path, b);
  const int fd = open(b, fi->flags & ~O_NOFOLLOW);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int FsCreate(const char* path, mode_t mode, struct fuse_file_info* fi) {
  char b[PATH_MAX];
  Backing(path, b);
  const int fd = open(b, fi->flags | O_CREAT, mode);
  if (fd < 0) return -errno;
  fi->fh = (uint64_t)fd;
  return 0;
}

static int FsRead(const char* path, char* buf, size_t size, off_t offset,
                  struct fuse_file_info* fi) {
  (void)path;
  return Result((int)pread((int)fi->fh, buf, size, offset));
}

// Which backing descriptors were written through: their closes fail.
static char g_written[4096];

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
  close((int)fi->fh);
  return 0;
}

static int FsUnlink(const char* path) {
  char b[PATH_MAX];
  Backing(path, b);
  return Result(unlink(b));
}

static int FsRename(const char* from, const char* to, unsigned int flags) {
  if (flags) return -EINVAL;
  char a[PATH_MAX], b[PATH_MAX];
  Backing(from, a);
  Backing(to, b);
  return Result(rename(a, b));
}

static int FsTruncate(const char* path, off_t size, struct fuse_file_info* fi) {
  if (fi) return Result(ftruncate((int)fi->fh, size));
  char b[PATH_MAX];
  Backing(path, b);
  return Result(truncate(b, size));
}

static int FsChmod(const char* path, mode_t mode, struct fuse_file_info* fi) {
  if (fi) return Result(fchmod((int)fi->fh, mode));
  char b[PATH_MAX];
  Backing(path, b);
  return Result(chmod(b, mode));
}

// A file removed while open goes at once, not to a hidden name: the
// folder must be seen to be empty.
static void* FsInit(struct fuse_conn_info* conn, struct fuse_config* cfg) {
  (void)conn;
  cfg->hard_remove = 1;
  return NULL;
}

static const struct fuse_operations kOperations = {
    .init = FsInit,
    .getattr = FsGetattr,
    .unlink = FsUnlink,
    .rename = FsRename,
    .chmod = FsChmod,
    .truncate = FsTruncate,
    .open = FsOpen,
    .read = FsRead,
    .write = FsWrite,
    .flush = FsFlush,
    .release = FsRelease,
    .readdir = FsReaddir,
    .create = FsCreate,
};

int main(int argc, char* argv[]) {
  if (argc < 3) {
    fprintf(stderr, "usage: failing-close-fs BACKING MOUNTPOINT [fuse options...]\n");
    return 2;
  }
  g_backing = realpath(argv[1], NULL);
  if (!g_backing) return 2;
  argv[1] = argv[0];
  return fuse_main(argc - 1, argv + 1, &kOperations, NULL);
}
