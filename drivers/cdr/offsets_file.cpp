#include "drivers/cdr/offsets_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/small_file.h"
#include "platform/unique_fd.h"

namespace cdr {
namespace {

constexpr std::size_t kMaxOffsetsFileBytes = std::size_t{1} << 20;

}  // namespace

std::string offsetsFilePath() {
  if (const char* path = std::getenv("CDR_OFFSETS"); path && *path) return path;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return std::string(config) + "/cdr/offsets.json";
  if (const char* home = std::getenv("HOME"); home && *home)
    return std::string(home) + "/.config/cdr/offsets.json";
  return "";
}

std::optional<nlohmann::json> readOffsetsFile(const std::string& path, std::string& problem) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec) && !std::filesystem::is_symlink(path, ec))
    return nlohmann::json::object();
  // Regular files only, opened without blocking: a FIFO here would hang
  // the drive's first use.
  const platform::SmallFile file = platform::readSmallFile(path, kMaxOffsetsFileBytes);
  if (!file.ok) {
    problem = file.problem;
    return std::nullopt;
  }
  nlohmann::json offsets = nlohmann::json::parse(file.text, nullptr, false, true);
  if (!offsets.is_object()) {
    problem = "is not a JSON object of \"VENDOR MODEL\": samples";
    return std::nullopt;
  }
  return offsets;
}

std::string saveOffset(const std::string& path, const std::string& vendorModel, std::int32_t samples) {
  if (path.empty()) return "no offsets file: set CDR_OFFSETS, XDG_CONFIG_HOME or HOME";
  std::string problem;
  std::optional<nlohmann::json> offsets = readOffsetsFile(path, problem);
  if (!offsets) return path + " " + problem + "; not changed";
  (*offsets)[vendorModel] = samples;
  const std::filesystem::path target(path);
  std::error_code ec;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
  std::string temporary = path + ".XXXXXX";
  platform::UniqueFd fd(::mkstemp(temporary.data()));
  if (!fd.valid()) return "cannot write beside " + path + ": " + std::strerror(errno);
  const bool written = platform::writeAll(fd.get(), offsets->dump(2) + "\n") && ::fsync(fd.get()) == 0;
  const int writeError = errno;
  fd.reset();
  if (!written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = written ? errno : writeError;
    ::unlink(temporary.c_str());
    return "cannot write " + path + ": " + std::strerror(error);
  }
  return "";
}

}  // namespace cdr
