#pragma once
// Reading a small file that came from outside (a configuration, a disc
// image's sheet, a description, a database entry) without trusting it: the
// open never blocks (a FIFO or a device node named in its place would hang
// a plain open or read for ever), anything but a regular file is refused
// before the first read, and the read stops one chunk past a cap so a huge
// or growing file cannot take the memory. Safe from any thread.
#include <sys/stat.h>

#include <cstddef>
#include <string>

#include "platform/unique_fd.h"

namespace platform {

struct SmallFile {
  bool ok = false;
  std::string text;  // the whole file when ok
  // Why not, when !ok: "cannot be opened: <reason>", "is not a regular
  // file", "is larger than <N> KiB" (or bytes), "cannot be read: <reason>".
  // The caller puts the path in front.
  std::string problem;
  bool tooLarge = false;  // the one problem that says something of the contents
  struct stat status {};  // the opened file's, when it was opened
};

// Reads the regular file at `path` (native form) whole, refusing one larger
// than `limit` bytes.
SmallFile readSmallFile(const std::string& path, std::size_t limit);

// The open alone: "" when `path` names a regular file that can be opened
// for reading (`fd` then holds it, `status` its fstat), otherwise why not
// (the same texts as above).
std::string openRegularFile(const std::string& path, UniqueFd& fd, struct stat& status);
// The same check, the descriptor closed again; `status` (when given)
// receives the file's fstat.
std::string regularFileProblem(const std::string& path, struct stat* status = nullptr);

// "<N> KiB" for limits of whole KiB, else "<N> bytes"; the cap as the
// messages above name it.
std::string sizeText(std::size_t bytes);

}  // namespace platform
