#include "tools/mkdisc/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace mkdisc {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  std::vector<char> name(path_.begin(), path_.end());
  const char suffix[] = ".tmp-XXXXXX";
  name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the NUL
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    fail("cannot create a file beside " + path_);
    return;
  }
  temp_ = name.data();
  // mkstemp makes it 0600; an image or entry is for others to read too.
  ::fchmod(fd, 0644);
  file_ = ::fdopen(fd, "wb");
  if (file_ == nullptr) {
    ::close(fd);
    fail("cannot open " + temp_);
  }
}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr) std::fclose(file_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

void AtomicFile::fail(const std::string& what) {
  if (!failed_) error_ = what + ": " + std::strerror(errno);
  failed_ = true;
}

void AtomicFile::write(const void* bytes, std::size_t size) {
  if (!ok()) return;
  if (std::fwrite(bytes, 1, size, file_) != size) fail("cannot write " + path_);
}

bool AtomicFile::commit() {
  if (!ok()) return false;
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!flushed || !closed) {
    fail("cannot write " + path_);
    return false;
  }
  if (::rename(temp_.c_str(), path_.c_str()) != 0) {
    fail("cannot rename into " + path_);
    return false;
  }
  temp_.clear();
  return true;
}

}  // namespace mkdisc
