#include "drivers/cdr/image_drive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "drivers/cdr/toc_file.h"
#include "drivers/cdr/warn.h"

namespace cdr {
namespace {

using nlohmann::json;

constexpr std::uint32_t kImageMaxTransferBytes = 64 * 1024;

// "" when path names a regular file that can be opened for reading; the
// check keeps FIFOs and device nodes (which could block or never end) away
// from libcdio's parsers.
std::string regularFileProblem(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return path + " cannot be opened: " + std::strerror(errno);
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular ? "" : path + " is not a regular file";
}

// The file libcdio 2.1 reads a CUE sheet's audio from: the sheet's own name
// with ".bin" for ".cue" (whatever its FILE line says). Empty when libcdio
// does not take the file for a CUE sheet.
std::string cueDataFile(const std::string& cuePath) {
  std::lock_guard<std::mutex> lock(cdioMutex());
  char* bin = cdio_is_cuefile(cuePath.c_str());
  if (!bin) return {};
  std::string name(bin);
  std::free(bin);
  return name;
}

constexpr std::size_t kMaxTocFileBytes = std::size_t{1} << 20;

// Reads a whole small file; "" on success, otherwise why not.
std::string readSmallFile(const std::string& path, std::size_t limit, std::string& text) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return path + " cannot be opened: " + std::strerror(errno);
  text.clear();
  char chunk[16384];
  std::string why;
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) why = path + " cannot be read: " + std::strerror(errno);
    if (got <= 0) break;
    if (text.size() + static_cast<std::size_t>(got) > limit) {
      why = path + " is larger than " + std::to_string(limit >> 10) + " KiB";
      break;
    }
    text.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return why;
}

// A TOC file copied with absolute file names (toc_file.h) into a private
// temporary file, removed again when this goes: libcdio reads it only while
// the image is being opened.
class TocCopy {
 public:
  // "" on success, otherwise why not.
  std::string make(const std::string& tocPath) {
    std::string text;
    if (std::string why = readSmallFile(tocPath, kMaxTocFileBytes, text); !why.empty()) return why;
    const std::string dir = std::filesystem::absolute(tocPath).parent_path().string();
    try {
      text = absoluteTocText(text, dir);
    } catch (const std::runtime_error& e) {
      return tocPath + ": " + e.what();
    }
    std::string name = (std::filesystem::temp_directory_path() / "cdr-toc-XXXXXX.toc").string();
    const int fd = ::mkstemps(name.data(), 4);
    if (fd < 0) return std::string("no temporary copy of ") + tocPath + ": " + std::strerror(errno);
    path_ = name;
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) break;
      done += static_cast<std::size_t>(put);
    }
    ::close(fd);
    return done == text.size() ? "" : "no temporary copy of " + tocPath;
  }
  const std::string& path() const { return path_; }
  ~TocCopy() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }

 private:
  std::string path_;
};

const char* formatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kCue: return "CUE sheet";
    case ImageFormat::kToc: return "TOC file";
    case ImageFormat::kNrg: return "NRG image";
  }
  return "image";
}

}  // namespace

ImageDrive::ImageDrive(ImageSettings settings) : settings_(std::move(settings)) {
  initCdio();
  if (settings_.disc) {
    const std::string why = insert();
    if (!why.empty()) throw std::runtime_error(why);
  }
}

ImageDrive::~ImageDrive() { takeOut(); }

std::string ImageDrive::insert() {
  takeOut();
  const std::string& path = settings_.path;
  if (std::string why = regularFileProblem(path); !why.empty()) return why;

  std::string dataFile;
  if (settings_.format == ImageFormat::kCue) {
    dataFile = cueDataFile(path);
    if (dataFile.empty()) return path + " is not a CUE sheet libcdio can read";
    if (regularFileProblem(dataFile) != "")
      return path + ": libcdio reads its audio from " + dataFile +
             " (the sheet's name with .bin), which is missing or not a regular file";
  }

  TocCopy tocCopy;
  if (settings_.format == ImageFormat::kToc)
    if (std::string why = tocCopy.make(path); !why.empty()) return why;

  CdIo_t* raw = nullptr;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    switch (settings_.format) {
      case ImageFormat::kCue: raw = cdio_open_cue(path.c_str()); break;
      case ImageFormat::kToc: raw = cdio_open(tocCopy.path().c_str(), DRIVER_CDRDAO); break;
      case ImageFormat::kNrg: raw = cdio_open(path.c_str(), DRIVER_NRG); break;
    }
  }
  CdioHandle cdio(raw);
  if (!cdio) return path + " is not a " + std::string(formatName(settings_.format)) + " libcdio can read";

  std::uint32_t firstTrack = 1;
  std::vector<TrackLayout> tracks;
  if (std::string why = readLayout(cdio.get(), firstTrack, tracks); !why.empty())
    return path + ": " + why;
  if (std::none_of(tracks.begin(), tracks.end(), [](const TrackLayout& t) { return !t.data; }))
    return path + ": no audio tracks";
  CdToc toc;
  if (!buildToc(tracks, toc, firstTrack)) return path + ": " + checkLayout(tracks, firstTrack);

  if (!dataFile.empty()) {
    dataFd_ = ::open(dataFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st {};
    if (dataFd_ < 0 || ::fstat(dataFd_, &st) != 0) {
      const std::string why = dataFile + " cannot be opened: " + std::strerror(errno);
      takeOut();
      return why;
    }
    dataBytes_ = st.st_size;
  }
  cdio_ = std::move(cdio);
  toc_ = toc;
  leadOut_ = leadOutOf(tracks);
  return {};
}

void ImageDrive::takeOut() {
  cdio_.reset();
  if (dataFd_ >= 0) ::close(dataFd_);
  dataFd_ = -1;
  dataBytes_ = 0;
  leadOut_ = 0;
}

std::int32_t ImageDrive::testUnitReady() { return cdio_ ? kCdReady : kCdNoDisc; }

std::int32_t ImageDrive::readToc(CdToc& toc) {
  if (!cdio_) return kNotReady;
  toc = toc_;
  return kOk;
}

std::int32_t ImageDrive::readCdda(std::uint32_t lba, std::uint32_t count, void* out) {
  if (!cdio_) return kNotReady;
  if (std::uint64_t{lba} + count > leadOut_) return kOutOfRange;
  if (dataFd_ >= 0) {
    struct stat st {};
    if (::fstat(dataFd_, &st) != 0 || st.st_size < dataBytes_) return kFailed;  // cut short since
  }
  const driver_return_code_t rc =
      cdio_read_audio_sectors(cdio_.get(), out, static_cast<lsn_t>(lba), count);
  return rc == DRIVER_OP_SUCCESS ? kOk : kFailed;
}

std::int32_t ImageDrive::eject() {
  takeOut();
  return kOk;
}

std::int32_t ImageDrive::load() {
  if (cdio_) return kOk;
  const std::string why = insert();
  if (why.empty()) return kOk;
  warnLine("drive \"" + settings_.name + "\": no disc loaded: " + why);
  return kFailed;
}

std::uint32_t ImageDrive::maxTransferBytes() const { return kImageMaxTransferBytes; }

ImageSettings parseImageSettings(const json& entry, const DriveContext& context) {
  cfg::checkKeys(entry, {"type", "name", "mode", "path", "format", "disc"}, "", context.note);
  const json* path = cfg::find(entry, "path");
  if (!path || !path->is_string() || path->get_ref<const std::string&>().empty())
    throw ConfigError("\"path\" must be a non-empty string");
  std::filesystem::path file(path->get<std::string>());
  if (file.is_relative() && !context.configDir.empty()) file = context.configDir / file;

  ImageSettings s;
  s.path = file.string();
  s.name = context.name.empty() ? displayName(file.filename().string()) : context.name;
  if (s.name.empty()) throw ConfigError("\"path\" names no file");

  std::string format;
  if (const json* given = cfg::find(entry, "format")) {
    if (!given->is_string()) throw ConfigError("\"format\" must be \"cue\", \"toc\" or \"nrg\"");
    format = given->get<std::string>();
  } else {
    format = file.extension().string();
    if (!format.empty()) format.erase(0, 1);
    for (char& c : format) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (format == "cue") s.format = ImageFormat::kCue;
  else if (format == "toc") s.format = ImageFormat::kToc;
  else if (format == "nrg") s.format = ImageFormat::kNrg;
  else throw ConfigError("\"format\" must be \"cue\", \"toc\" or \"nrg\" (or the file end in one)");

  s.disc = cfg::boolField(entry, "disc", true);
  return s;
}

std::vector<std::unique_ptr<Drive>> makeImageDrive(const json& entry, const DriveContext& context) {
  std::vector<std::unique_ptr<Drive>> drives;
  drives.push_back(std::make_unique<ImageDrive>(parseImageSettings(entry, context)));
  return drives;
}

}  // namespace cdr
