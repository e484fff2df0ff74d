#include "encoders/common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "encoders/common/last_error.h"
#include "encoders/common/result.h"
#include "encoders/common/unique_token.h"
#include "platform/codepage.h"
#include "platform/winpath.h"

namespace encoders {
namespace {

// Longest name of one folder entry on Linux file systems, in bytes. A
// Windows name of 255 characters can be longer than this in UTF-8; such a
// name is refused when the stream opens, not found out at the rename.
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kTemporaryNameAttempts = 16;

std::string temporaryName(const std::string& folder) {
  char token[17];
  std::snprintf(token, sizeof token, "%016llx",
                static_cast<unsigned long long>(uniqueToken()));
  return folder + "/.rondel-" + token + ".part";
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The base with its last part cut until the final name fits: at most
// kMaxPath characters in Windows form (the caller's name buffer) and a last
// part of at most kMaxNameBytes in UTF-8 (the file system). The component
// cuts its paths at kMaxPath without knowing the extension, so a path near
// that limit arrives too long by up to the extension's length. A cut leaves
// no spaces at the end of the name. "" when not even one character of the
// last part fits.
std::string fittingBase(std::string_view windowsBase, std::string_view extension) {
  std::size_t partStart = windowsBase.size();
  while (partStart > 0 && !isSeparator(windowsBase[partStart - 1])) --partStart;
  std::string base(windowsBase);
  const auto fits = [&] {
    return base.size() + extension.size() <= platform::kMaxPath &&
           platform::cp1252ToUtf8(std::string_view(base).substr(partStart)).size() +
                   extension.size() <=
               kMaxNameBytes;
  };
  if (fits()) return base;
  while (base.size() > partStart && !fits()) base.pop_back();
  while (base.size() > partStart + 1 && base.back() == ' ') base.pop_back();
  return base.size() > partStart ? base : std::string();
}

}  // namespace

std::unique_ptr<OutputFile> OutputFile::create(std::string_view windowsBase,
                                               std::string_view extension,
                                               std::int32_t* result) {
  *result = kBadPath;
  const auto unusable = [&windowsBase](const char* why) {
    setLastError("cannot use the path " +
                 platform::cp1252ToUtf8(windowsBase.substr(0, platform::kMaxPath)) + ": " + why);
    return nullptr;
  };
  if (windowsBase.empty() || isSeparator(windowsBase.back()) ||
      windowsBase.size() > platform::kMaxPath) {
    return unusable("no file name, or longer than 260 characters");
  }
  std::string windowsName = fittingBase(windowsBase, extension);
  if (windowsName.empty()) return unusable("its folders leave no room for a name");
  windowsName += extension;
  const std::optional<std::string> native = platform::toNativePath(windowsName);
  if (!native) return unusable("it maps to no folder here");
  const std::size_t slash = native->rfind('/');
  if (slash == std::string::npos || native->size() - slash - 1 > kMaxNameBytes)
    return unusable("its name is too long");
  const std::string folder = native->substr(0, slash);

  *result = kFileError;
  // The final name is what the user knows; the temporary one is ours.
  const auto cannotCreate = [&native](int error) {
    setLastError("cannot create " + *native + ": " + std::strerror(error));
    return nullptr;
  };
  struct stat info {};
  if (::stat(native->c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return cannotCreate(EISDIR);
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string temp = temporaryName(folder);
    // 0666 less the umask: the finished file gets the permissions any new
    // file of this user gets.
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *result = kOk;
      return std::unique_ptr<OutputFile>(
          new OutputFile(std::move(windowsName), *native, std::move(temp), fd));
    }
    if (errno != EEXIST) return cannotCreate(errno);
  }
  return cannotCreate(EEXIST);
}

OutputFile::OutputFile(std::string windowsName, std::string finalPath, std::string tempPath,
                       int fd)
    : windowsName_(std::move(windowsName)),
      finalPath_(std::move(finalPath)),
      tempPath_(std::move(tempPath)),
      fd_(fd) {}

OutputFile::~OutputFile() { abandon(); }

bool OutputFile::append(const void* data, std::size_t bytes) {
  if (failed_ || done_) return false;
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t left = bytes;
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  size_ += bytes;
  return true;
}

bool OutputFile::overwrite(std::uint64_t offset, const void* data, std::size_t bytes) {
  if (failed_ || done_) return false;
  if (offset > size_ || bytes > size_ - offset) {
    failed_ = true;  // a patch outside what was written is a fault of the caller
    return false;
  }
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t left = bytes;
  while (left > 0) {
    const ssize_t n = ::pwrite(fd_, p, left, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    p += n;
    offset += static_cast<std::uint64_t>(n);
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool OutputFile::commit() {
  if (done_) return false;
  if (failed_ || ::fsync(fd_) != 0) {
    abandon();
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 || ::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    ::unlink(tempPath_.c_str());
    done_ = true;
    return false;
  }
  done_ = true;
  // The rename itself lives in the folder; without this a crash soon after
  // could bring back the old name. The file is in place either way, so a
  // failure here is not the rip's failure.
  const std::size_t slash = finalPath_.rfind('/');
  const std::string folder = slash == 0 ? "/" : finalPath_.substr(0, slash);
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

void OutputFile::abandon() {
  if (done_) return;
  done_ = true;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  ::unlink(tempPath_.c_str());
}

}  // namespace encoders
