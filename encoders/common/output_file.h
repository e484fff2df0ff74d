#pragma once
// The file an encoder stream writes. It is written under a temporary name in
// the folder of its final name and renamed into place only by commit(), so a
// cancelled or failed rip never leaves a broken file nor replaces an older
// file of the same name. Destroying an uncommitted OutputFile removes the
// temporary file.
//
// One stream owns its OutputFile and calls it under the stream's mutex, so
// the class itself is not thread-safe; the temporary names are unique per
// process and per stream.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace encoders {

class OutputFile {
 public:
  // Opens a temporary file beside "<windowsBase><extension>". windowsBase is
  // the Windows-form path without extension, as the component passes it (at
  // most 260 characters). When the name with its extension would be longer
  // than the 260 characters a name buffer holds, or its last part longer
  // than a file system allows, the base's last part is shortened until it
  // fits; windowsName() tells the name chosen. Null, with *result set to
  // kBadPath or kFileError, when the base is longer than 260 characters,
  // its folder part alone leaves no room, the name does not map or names a
  // folder, or the temporary file cannot be created (folder missing, not
  // writable, or not a folder at all). Folders are never created here.
  static std::unique_ptr<OutputFile> create(std::string_view windowsBase,
                                            std::string_view extension, std::int32_t* result);

  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Appends bytes at the end. False once any write has failed: a file with a
  // hole or a lost chunk is never committed.
  bool append(const void* data, std::size_t bytes);
  // Overwrites bytes already written (a header completed at the close).
  bool overwrite(std::uint64_t offset, const void* data, std::size_t bytes);
  std::uint64_t size() const { return size_; }
  bool failed() const { return failed_; }

  // Flushes the data to the disk, renames the file over its final name and
  // flushes the folder, so a finished rip survives a crash. False (and the
  // temporary file removed) when anything failed, now or earlier.
  bool commit();
  // Removes the temporary file; the final name is not touched.
  void abandon();

  // The final name in Windows form: the base as given plus the extension.
  const std::string& windowsName() const { return windowsName_; }
  const std::string& temporaryPath() const { return tempPath_; }

 private:
  OutputFile(std::string windowsName, std::string finalPath, std::string tempPath, int fd);

  std::string windowsName_;
  std::string finalPath_;
  std::string tempPath_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
  bool failed_ = false;
  bool done_ = false;  // committed or abandoned: nothing left to clean up
};

}  // namespace encoders
