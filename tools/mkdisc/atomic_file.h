#pragma once
// A file written under a temporary name in its final folder and renamed into
// place only when complete, so a failed run never leaves a half image or
// entry where a test or a server would take it for whole.
#include <cstdio>
#include <string>

namespace mkdisc {

class AtomicFile {
 public:
  explicit AtomicFile(std::string path);
  ~AtomicFile();  // removes the temporary file unless committed
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  bool ok() const { return file_ != nullptr && !failed_; }
  void write(const void* bytes, std::size_t size);
  void write(const std::string& text) { write(text.data(), text.size()); }
  // Flushes, closes and renames; false with error() set on any failure.
  bool commit();
  const std::string& error() const { return error_; }

 private:
  void fail(const std::string& what);

  std::string path_, temp_, error_;
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

}  // namespace mkdisc
