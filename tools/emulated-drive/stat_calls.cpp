// Every way a program may ask after the device node, answered for the
// emulated device path and its descriptors; other paths and descriptors go
// to the real call. Programs built against older C libraries call the
// versioned forms (__xstat and the like), newer ones stat, fstatat or
// statx; libraries resolve the path first (realpath) or check it (access).
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>

#include "interpose.h"

namespace {

using emulated_drive::isDriveFd;
using emulated_drive::isDrivePath;
using emulated_drive::real;

// The node: a CD-ROM block device (major 11, minor 0), or gone.
int fakeStat(struct stat* st) {
  if (emulated_drive::nodeGone()) {
    errno = ENOENT;
    return -1;
  }
  std::memset(st, 0, sizeof *st);
  st->st_mode = S_IFBLK | 0660;
  st->st_nlink = 1;
  st->st_rdev = makedev(11, 0);
  st->st_blksize = 2048;
  return 0;
}

int fakeStatx(unsigned mask, struct statx* st) {
  (void)mask;  // every basic field is filled, as the kernel does
  if (emulated_drive::nodeGone()) {
    errno = ENOENT;
    return -1;
  }
  std::memset(st, 0, sizeof *st);
  st->stx_mask = STATX_BASIC_STATS;
  st->stx_mode = S_IFBLK | 0660;
  st->stx_nlink = 1;
  st->stx_rdev_major = 11;
  st->stx_rdev_minor = 0;
  st->stx_blksize = 2048;
  return 0;
}

// Read, write and look-up are allowed on the node (its owner runs the
// test); existence as stat says.
int fakeAccess(int mode) {
  (void)mode;
  if (emulated_drive::nodeGone()) {
    errno = ENOENT;
    return -1;
  }
  return 0;
}

// A path relative to a folder descriptor is the device path only when it is
// absolute or relative to the working folder, where it is written as named.
bool atDrive(int dirfd, const char* path, int flags) {
  if (path == nullptr) return false;
  if (*path == '\0') return (flags & AT_EMPTY_PATH) != 0 && isDriveFd(dirfd);
  return (*path == '/' || dirfd == AT_FDCWD) && isDrivePath(path);
}

}  // namespace

#define EXPORTED __attribute__((visibility("default")))

// The versioned forms: the C library no longer declares them, but programs
// linked against its older releases still call them. On the 64-bit Linux
// targets the buffer is the plain struct stat, so the real plain call
// answers for any other path.
extern "C" {
EXPORTED int __xstat(int version, const char* path, struct stat* st);
EXPORTED int __xstat64(int version, const char* path, struct stat64* st);
EXPORTED int __lxstat(int version, const char* path, struct stat* st);
EXPORTED int __lxstat64(int version, const char* path, struct stat64* st);
EXPORTED int __fxstat(int version, int fd, struct stat* st);
EXPORTED int __fxstat64(int version, int fd, struct stat64* st);
EXPORTED int __fxstatat(int version, int dirfd, const char* path, struct stat* st, int flags);
EXPORTED int __fxstatat64(int version, int dirfd, const char* path, struct stat64* st, int flags);
EXPORTED char* __realpath_chk(const char* path, char* resolved, size_t room);
}

static_assert(sizeof(struct stat) == sizeof(struct stat64), "one layout for stat and stat64");

namespace {

// Each form answers itself or goes to the next library's plain call, never
// to another of the forms here by name: a sanitizer runtime in front
// implements its own stat interceptors with the versioned forms, and a call
// back into it would come round again.
int pathStat(const char* path, struct stat* st, const char* next) {
  if (isDrivePath(path)) return fakeStat(st);
  return real<int (*)(const char*, struct stat*)>(next)(path, st);
}
int fdStat(int fd, struct stat* st, const char* next) {
  if (isDriveFd(fd)) return fakeStat(st);
  return real<int (*)(int, struct stat*)>(next)(fd, st);
}
int atStat(int dirfd, const char* path, struct stat* st, int flags, const char* next) {
  if (atDrive(dirfd, path, flags)) return fakeStat(st);
  return real<int (*)(int, const char*, struct stat*, int)>(next)(dirfd, path, st, flags);
}
struct stat* plain(struct stat64* st) { return reinterpret_cast<struct stat*>(st); }

char* resolve(const char* path, char* resolved) {
  if (isDrivePath(path) && !emulated_drive::nodeGone()) {
    const std::size_t length = std::strlen(path);
    if (length >= PATH_MAX) {
      errno = ENAMETOOLONG;
      return nullptr;
    }
    char* out = resolved != nullptr ? resolved : static_cast<char*>(std::malloc(length + 1));
    if (out == nullptr) {
      errno = ENOMEM;
      return nullptr;
    }
    std::memcpy(out, path, length + 1);
    return out;
  }
  return real<char* (*)(const char*, char*)>("realpath")(path, resolved);
}

}  // namespace

extern "C" {

EXPORTED int stat(const char* path, struct stat* st) noexcept { return pathStat(path, st, "stat"); }
EXPORTED int stat64(const char* path, struct stat64* st) noexcept { return pathStat(path, plain(st), "stat64"); }
EXPORTED int lstat(const char* path, struct stat* st) noexcept { return pathStat(path, st, "lstat"); }
EXPORTED int lstat64(const char* path, struct stat64* st) noexcept { return pathStat(path, plain(st), "lstat64"); }
EXPORTED int fstat(int fd, struct stat* st) noexcept { return fdStat(fd, st, "fstat"); }
EXPORTED int fstat64(int fd, struct stat64* st) noexcept { return fdStat(fd, plain(st), "fstat64"); }
EXPORTED int fstatat(int dirfd, const char* path, struct stat* st, int flags) noexcept {
  return atStat(dirfd, path, st, flags, "fstatat");
}
EXPORTED int fstatat64(int dirfd, const char* path, struct stat64* st, int flags) noexcept {
  return atStat(dirfd, path, plain(st), flags, "fstatat64");
}
EXPORTED int statx(int dirfd, const char* path, int flags, unsigned mask, struct statx* st) noexcept {
  if (atDrive(dirfd, path, flags)) return fakeStatx(mask, st);
  return real<int (*)(int, const char*, int, unsigned, struct statx*)>("statx")(dirfd, path, flags, mask, st);
}

EXPORTED int __xstat(int, const char* path, struct stat* st) { return pathStat(path, st, "stat"); }
EXPORTED int __xstat64(int, const char* path, struct stat64* st) { return pathStat(path, plain(st), "stat64"); }
EXPORTED int __lxstat(int, const char* path, struct stat* st) { return pathStat(path, st, "lstat"); }
EXPORTED int __lxstat64(int, const char* path, struct stat64* st) { return pathStat(path, plain(st), "lstat64"); }
EXPORTED int __fxstat(int, int fd, struct stat* st) { return fdStat(fd, st, "fstat"); }
EXPORTED int __fxstat64(int, int fd, struct stat64* st) { return fdStat(fd, plain(st), "fstat64"); }
EXPORTED int __fxstatat(int, int dirfd, const char* path, struct stat* st, int flags) {
  return atStat(dirfd, path, st, flags, "fstatat");
}
EXPORTED int __fxstatat64(int, int dirfd, const char* path, struct stat64* st, int flags) {
  return atStat(dirfd, path, plain(st), flags, "fstatat64");
}

// The node is a real one under /dev, its own canonical name. The C
// library's realpath checks each part with its internal lstat, which this
// library cannot see, so the device path is answered here.
EXPORTED char* realpath(const char* path, char* resolved) noexcept { return resolve(path, resolved); }
EXPORTED char* __realpath_chk(const char* path, char* resolved, size_t room) {
  if (resolved != nullptr && room < PATH_MAX) std::abort();  // as the checked form does
  return resolve(path, resolved);
}

EXPORTED int access(const char* path, int mode) noexcept {
  if (isDrivePath(path)) return fakeAccess(mode);
  return real<int (*)(const char*, int)>("access")(path, mode);
}
EXPORTED int faccessat(int dirfd, const char* path, int mode, int flags) noexcept {
  if (atDrive(dirfd, path, 0)) return fakeAccess(mode);
  return real<int (*)(int, const char*, int, int)>("faccessat")(dirfd, path, mode, flags);
}

}  // extern "C"
