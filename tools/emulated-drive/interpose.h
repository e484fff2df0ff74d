#pragma once
// What the interposed calls share (interpose.cpp): whether a path or a
// descriptor is the emulated device's, and the real call behind a name.
// Any thread; each takes the emulation's lock itself.
#include <dlfcn.h>

namespace emulated_drive {

// The path the drive answers for (reads its script on first use).
bool isDrivePath(const char* path);
// A descriptor open on the emulated device.
bool isDriveFd(int fd);
// The device node is gone (unplugged): stat and open say ENOENT.
bool nodeGone();

// The next definition of a C library call after this library's own.
template <class F>
F real(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace emulated_drive
