#include "drivers/cdr/temp_copy.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace cdr {
namespace {

// In the forked watcher: only async-signal-safe calls. Survives the
// terminal's signals to the process group, keeps no descriptor but the
// pipe's reading end (so no other watcher's pipe stays open through it),
// and removes the copy once every writer is gone.
[[noreturn]] void watch(int readEnd, const char* file, const char* folder) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) ::sigaction(sig, &ignore, nullptr);
  if (readEnd > 3) ::close_range(3, static_cast<unsigned>(readEnd) - 1, 0);
  ::close_range(static_cast<unsigned>(readEnd) + 1, ~0U, 0);
  char byte;
  for (;;) {
    const ssize_t got = ::read(readEnd, &byte, 1);
    if (got == 0 || (got < 0 && errno != EINTR)) break;
  }
  ::unlink(file);
  ::rmdir(folder);
  ::_exit(0);
}

}  // namespace

std::string TempCopy::make(const std::string& text, const std::string& fileName) {
  remove();
  std::error_code ec;
  const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
  if (ec) return "no folder for temporary files: " + ec.message();
  std::string folder = (tmp / "cdr-toc-XXXXXX").string();
  if (::mkdtemp(folder.data()) == nullptr)
    return "no temporary folder in " + tmp.string() + ": " + std::strerror(errno);
  folder_ = folder;
  const std::string file = folder + "/" + fileName;

  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) {
    const std::string why = std::string("no pipe for the temporary copy: ") + std::strerror(errno);
    remove();
    return why;
  }
  watcher_ = ::fork();
  if (watcher_ == 0) {
    ::close(ends[1]);
    watch(ends[0], file.c_str(), folder.c_str());
  }
  ::close(ends[0]);
  if (watcher_ < 0) {
    ::close(ends[1]);
    const std::string why = std::string("no watcher for the temporary copy: ") + std::strerror(errno);
    remove();
    return why;
  }
  watchPipe_ = ends[1];

  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    const std::string why = "no temporary copy: " + std::string(std::strerror(errno));
    remove();
    return why;
  }
  path_ = file;
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    done += static_cast<std::size_t>(put);
  }
  ::close(fd);
  if (done == text.size()) return {};
  remove();
  return "no complete temporary copy";
}

void TempCopy::remove() {
  if (!path_.empty()) ::unlink(path_.c_str());
  if (!folder_.empty()) ::rmdir(folder_.c_str());
  path_.clear();
  folder_.clear();
  if (watchPipe_ >= 0) ::close(watchPipe_);
  watchPipe_ = -1;
  if (watcher_ > 0) {
    int status;
    while (::waitpid(watcher_, &status, 0) < 0 && errno == EINTR) {
    }
  }
  watcher_ = -1;
}

TempCopy::~TempCopy() { remove(); }

}  // namespace cdr
