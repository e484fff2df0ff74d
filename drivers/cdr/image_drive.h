#pragma once
// A disc image (CUE/BIN, cdrdao TOC, Nero NRG) offered as a drive, read
// through libcdio's image drivers. The image is "in the drive" from the
// start; CD_Eject takes it out and CD_Load opens the file again, so a file
// replaced on disk in between is the next disc. Each open checks the files
// first (image_check.h) and has libcdio try them in a child process
// (image_probe.h) before this process lets libcdio parse them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "drivers/cdr/cdio_support.h"
#include "drivers/cdr/config.h"
#include "drivers/cdr/drive.h"
#include "drivers/cdr/toc.h"

namespace cdr {

enum class ImageFormat { kCue, kToc, kNrg };

struct ImageSettings {
  std::string name;  // Windows-1252
  std::string path;  // of the CUE sheet, TOC file or NRG image
  ImageFormat format = ImageFormat::kCue;
  bool disc = true;  // false: starts ejected until CD_Load
};

class ImageDrive final : public Drive {
 public:
  // Throws std::runtime_error with the reason when settings.disc is set and
  // the image cannot be opened or makes no usable disc.
  explicit ImageDrive(ImageSettings settings);
  ~ImageDrive() override;
  ImageDrive(const ImageDrive&) = delete;
  ImageDrive& operator=(const ImageDrive&) = delete;

  std::string name() const override { return settings_.name; }
  std::int32_t testUnitReady() override;
  std::int32_t readToc(CdToc& toc) override;
  std::int32_t readCdda(std::uint32_t lba, std::uint32_t count, void* out) override;
  std::int32_t eject() override;
  std::int32_t load() override;
  std::int32_t lock() override { return kOk; }
  std::int32_t unlock() override { return kOk; }
  std::int32_t lockVolume() override { return kOk; }
  std::int32_t unlockVolume() override { return kOk; }
  std::int32_t prepare() override { return kOk; }
  std::uint32_t maxTransferBytes() const override;

 private:
  // Opens the image and takes in its table of contents: "" or why not.
  std::string insert();
  void takeOut();

  // All of it is used under the drive's mutex only.
  ImageSettings settings_;
  CdioHandle cdio_;  // null while no image is in the drive
  // The file libcdio reads a CUE sheet's audio from, held open to notice
  // it shrinking while the image is in: libcdio reads past a file's end
  // without an error and hands back whatever was in the buffer.
  int dataFd_ = -1;
  std::int64_t dataBytes_ = 0;
  CdToc toc_{};
  std::uint32_t leadOut_ = 0;
};

ImageSettings parseImageSettings(const nlohmann::json& entry, const DriveContext& context);
std::vector<std::unique_ptr<Drive>> makeImageDrive(const nlohmann::json& entry,
                                                   const DriveContext& context);

}  // namespace cdr
