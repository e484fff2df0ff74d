#pragma once
// A private temporary copy of a small text file that libcdio has to read by
// name (a TOC file with absolute file names), which outlives neither this
// object nor the process: it sits alone in a fresh folder under TMPDIR
// (mode 0700), and a watcher process forked when it is made waits on a pipe
// whose only writer is this process. When this object goes, the copy and
// folder are removed here; when the process dies first (a crash, a kill),
// the pipe ends and the watcher removes them. libcdio takes file names, not
// descriptors, and insists on the ".toc" ending, so a memfd cannot stand in.
#include <sys/types.h>

#include <string>

namespace cdr {

class TempCopy {
 public:
  TempCopy() = default;
  ~TempCopy();
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  // Writes text as <TMPDIR>/cdr-toc-XXXXXX/<fileName>. "" or why not.
  std::string make(const std::string& text, const std::string& fileName);
  const std::string& path() const { return path_; }

 private:
  void remove();

  std::string folder_, path_;
  int watchPipe_ = -1;   // the writing end the watcher waits on
  pid_t watcher_ = -1;
};

}  // namespace cdr
