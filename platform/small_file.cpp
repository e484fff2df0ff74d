#include "platform/small_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform {

std::string openRegularFile(const std::string& path, UniqueFd& fd, struct stat& status) {
  fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (!fd.valid()) return std::string("cannot be opened: ") + std::strerror(errno);
  if (::fstat(fd.get(), &status) != 0) return std::string("cannot be read: ") + std::strerror(errno);
  if (!S_ISREG(status.st_mode)) return "is not a regular file";
  return {};
}

std::string sizeText(std::size_t bytes) {
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes / 1024) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string regularFileProblem(const std::string& path, struct stat* status) {
  UniqueFd fd;
  struct stat st {};
  std::string problem = openRegularFile(path, fd, st);
  if (status != nullptr) *status = st;
  return problem;
}

SmallFile readSmallFile(const std::string& path, std::size_t limit) {
  SmallFile result;
  UniqueFd fd;
  result.problem = openRegularFile(path, fd, result.status);
  if (!result.problem.empty()) return result;
  const struct stat& st = result.status;
  const std::string tooLargeText = "is larger than " + sizeText(limit);
  if (static_cast<std::uint64_t>(st.st_size) > limit) {
    result.problem = tooLargeText;
    result.tooLarge = true;
    return result;
  }
  // Read to the end rather than trusting st_size: the file may grow.
  char chunk[16384];
  for (;;) {
    const ssize_t got = ::read(fd.get(), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      result.problem = std::string("cannot be read: ") + std::strerror(errno);
      result.text.clear();
      return result;
    }
    if (got == 0) break;
    if (result.text.size() + static_cast<std::size_t>(got) > limit) {
      result.problem = tooLargeText;
      result.tooLarge = true;
      result.text.clear();
      return result;
    }
    result.text.append(chunk, static_cast<std::size_t>(got));
  }
  result.ok = true;
  return result;
}

}  // namespace platform
