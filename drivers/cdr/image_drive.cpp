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

#include <cdio/logging.h>
#include <nlohmann/json.hpp>

#include "drivers/cdr/cue_sessions.h"
#include "drivers/cdr/image_check.h"
#include "drivers/cdr/image_probe.h"
#include "drivers/cdr/temp_copy.h"
#include "drivers/cdr/toc_file.h"
#include "drivers/cdr/warn.h"
#include "platform/small_file.h"

namespace cdr {
namespace {

using nlohmann::json;

constexpr std::uint32_t kImageMaxTransferBytes = 64 * 1024;

// The file libcdio 2.1 reads a CUE sheet's audio from: the sheet's own name
// with ".bin" for ".cue" (whatever its FILE line says). Empty when libcdio
// does not take the file for a CUE sheet. Called only on a sheet
// checkCueText accepted: this parse writes nothing, but it reads every line.
std::string cueDataFile(const std::string& cuePath) {
  std::lock_guard<std::mutex> lock(cdioMutex());
  char* bin = cdio_is_cuefile(cuePath.c_str());
  if (!bin) return {};
  std::string name(bin);
  std::free(bin);
  return name;
}

// "" when path is a regular file, with its identity added to key and its
// status in st; otherwise why not, starting with the path.
std::string regularFile(const std::string& path, std::string& key, struct stat& st) {
  if (std::string why = platform::regularFileProblem(path, &st); !why.empty()) return path + " " + why;
  key += fileIdentity(st);
  return {};
}

// The last bytes of an NRG image, where its footer lies; "" or why not.
std::string readNrgTail(const std::string& path, std::string& tail, std::uint64_t& size,
                        std::string& key) {
  platform::UniqueFd fd;
  struct stat st {};
  if (std::string why = platform::openRegularFile(path, fd, st); !why.empty()) return path + " " + why;
  key += fileIdentity(st);
  size = static_cast<std::uint64_t>(st.st_size);
  tail.assign(static_cast<std::size_t>(std::min<std::uint64_t>(size, kNrgMaxFooterBytes)), '\0');
  std::size_t done = 0;
  while (done < tail.size()) {
    const ssize_t got = ::pread(fd.get(), tail.data() + done, tail.size() - done,
                                static_cast<off_t>(size - tail.size() + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done == tail.size() ? "" : path + " cannot be read";
}

// A TOC file's named files, relative to its folder: each a regular file
// that holds the range the statement names. "" or why not.
std::string checkTocFiles(const std::string& tocPath, const std::vector<TocFileUse>& files,
                          std::string& key) {
  const std::filesystem::path dir = std::filesystem::absolute(tocPath).parent_path();
  for (const TocFileUse& use : files) {
    std::filesystem::path file(use.name);
    if (file.is_relative()) file = dir / file;
    struct stat st {};
    const std::string where = tocPath + ": line " + std::to_string(use.line) + ": ";
    if (std::string why = regularFile(file.string(), key, st); !why.empty()) return where + why;
    const auto bytes = static_cast<std::uint64_t>(st.st_size);
    if (use.startBytes > bytes || (use.bytes && *use.bytes > bytes - use.startBytes))
      return where + file.string() + " is shorter than the range named";
  }
  return {};
}

// libcdio's own open of the image, without cdioMutex() (the callers hold it
// or are the probe's child, where it must not be taken).
CdIo_t* openRaw(ImageFormat format, const std::string& path) {
  switch (format) {
    case ImageFormat::kCue: return cdio_open_cue(path.c_str());
    case ImageFormat::kToc: return cdio_open(path.c_str(), DRIVER_CDRDAO);
    case ImageFormat::kNrg: return cdio_open(path.c_str(), DRIVER_NRG);
  }
  return nullptr;
}

void silentLog(cdio_log_level_t, const char[]) {}

// In the probe's child: what the drive does with an image here, open, the
// table of contents, close, so a fault in any of them shows there.
bool trialOpen(ImageFormat format, const std::string& path) {
  cdio_log_set_handler(&silentLog);  // the parent's own open says what libcdio says
  CdIo_t* cdio = openRaw(format, path);
  if (!cdio) return false;
  std::uint32_t firstTrack = 1;
  std::vector<TrackLayout> tracks;
  (void)readLayout(cdio, firstTrack, tracks);
  cdio_destroy(cdio);
  return true;
}

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
  // Everything libcdio will read is checked here first; key collects the
  // identities of those files for the probe.
  std::string key = std::to_string(static_cast<int>(settings_.format)) + ";";
  std::string dataFile;
  TempCopy tocCopy;
  int secondSessionTrack = 0;  // of a CUE sheet that marks sessions
  struct stat st {};
  if (settings_.format == ImageFormat::kNrg) {
    std::string tail;
    std::uint64_t size = 0;
    if (std::string why = readNrgTail(path, tail, size, key); !why.empty()) return why;
    if (std::string why = checkNrgTail(tail, size); !why.empty()) return path + ": " + why;
  } else {
    const platform::SmallFile sheet = platform::readSmallFile(path, kMaxSheetBytes);
    if (!sheet.ok) return path + " " + sheet.problem;
    key += fileIdentity(sheet.status);
    if (settings_.format == ImageFormat::kCue) {
      if (std::string why = checkCueText(sheet.text); !why.empty()) return path + ": " + why;
      secondSessionTrack = lastSessionFirstTrack(sheet.text);
      dataFile = cueDataFile(path);
      if (dataFile.empty()) return path + " is not a CUE sheet libcdio can read";
      if (!regularFile(dataFile, key, st).empty())
        return path + ": libcdio reads its audio from " + dataFile +
               " (the sheet's name with .bin), which is missing or not a regular file";
    } else {
      std::vector<TocFileUse> files;
      if (std::string why = checkTocText(sheet.text, files); !why.empty()) return path + ": " + why;
      if (std::string why = checkTocFiles(path, files, key); !why.empty()) return why;
      std::string text;
      try {
        text = absoluteTocText(sheet.text, std::filesystem::absolute(path).parent_path().string());
      } catch (const std::runtime_error& e) {
        return path + ": " + e.what();
      }
      if (std::string why = tocCopy.make(text, "disc.toc"); !why.empty())
        return path + ": " + why;
    }
  }
  const std::string& openPath = settings_.format == ImageFormat::kToc ? tocCopy.path() : path;
  const ImageFormat format = settings_.format;
  const ProbeResult probe =
      probeOnce(key, [&] { return trialOpen(format, openPath); }, probeTimeout());
  if (probe.answer == ProbeAnswer::kFault) return path + ": " + probe.why;
  const std::string unreadable =
      path + " is not a " + std::string(formatName(settings_.format)) + " libcdio can read";
  if (probe.answer == ProbeAnswer::kRefused) return unreadable;

  CdIo_t* raw = nullptr;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    raw = openRaw(format, openPath);
  }
  CdioHandle cdio(raw);
  if (!cdio) return unreadable;

  std::uint32_t firstTrack = 1;
  std::vector<TrackLayout> tracks;
  if (std::string why = readLayout(cdio.get(), firstTrack, tracks); !why.empty())
    return path + ": " + why;
  // The last audio track before a second session ends at the first
  // session's lead-out, as a drive reports it.
  if (secondSessionTrack >= static_cast<int>(firstTrack) &&
      static_cast<std::size_t>(secondSessionTrack) - firstTrack < tracks.size())
    trimSessionGap(tracks, tracks[static_cast<std::size_t>(secondSessionTrack) - firstTrack].start);
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
