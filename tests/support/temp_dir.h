#pragma once
// A temporary folder removed with everything in it at scope end.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace testing_support {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "rondel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

  std::string write(const std::string& name, const std::string& contents) const {
    std::string p = file(name);
    std::ofstream(p, std::ios::binary) << contents;
    return p;
  }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file below `root` (relative paths, sorted), hidden ones
// included, so a temporary ".rondel-*.part" left behind shows.
inline std::vector<std::string> filesBelow(const std::string& root) {
  std::vector<std::string> files;
  std::error_code error;
  for (auto it = std::filesystem::recursive_directory_iterator(root, error);
       !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
    if (it->is_regular_file()) files.push_back(std::filesystem::relative(it->path(), root).string());
  std::sort(files.begin(), files.end());
  return files;
}

// filesBelow without the rip logs qomhost writes beside a copy ("Rip log
// *.txt" in the album folder); `logs` receives those.
inline std::vector<std::string> filesBelowButRipLogs(const std::string& root, std::vector<std::string>* logs = nullptr) {
  std::vector<std::string> files;
  for (std::string& f : filesBelow(root)) {
    const std::string name = std::filesystem::path(f).filename().string();
    const bool log = name.rfind("Rip log", 0) == 0 && name.size() > 4 && name.compare(name.size() - 4, 4, ".txt") == 0;
    if (!log) files.push_back(std::move(f));
    else if (logs != nullptr) logs->push_back(std::move(f));
  }
  return files;
}

// Folder of the build's runtime files (build/bin).
inline std::string binDir() {
  const char* dir = std::getenv("RONDEL_BIN_DIR");
  return dir != nullptr ? dir : ".";
}

// Sets an environment variable for the scope, restoring the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

}  // namespace testing_support
