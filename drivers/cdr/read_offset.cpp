#include "drivers/cdr/read_offset.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

#include <nlohmann/json.hpp>

#include "drivers/cdr/offsets_file.h"

namespace cdr {
namespace {

using nlohmann::json;

constexpr std::int64_t kFrameBytes = 4;  // one stereo sample

class OffsetDrive final : public Drive {
 public:
  OffsetDrive(std::unique_ptr<Drive> inner, std::int32_t offset)
      : inner_(std::move(inner)), shiftBytes_(offset * kFrameBytes) {}

  std::string name() const override { return inner_->name(); }
  std::int32_t testUnitReady() override { return inner_->testUnitReady(); }
  std::int32_t readToc(CdToc& toc) override {
    const std::int32_t rc = inner_->readToc(toc);
    leadOut_ = rc == kOk ? toc.entries[0].startSector : 0;
    return rc;
  }
  // Reads the sectors that hold the shifted range (one more when it does
  // not start on a sector boundary), clipped to the readable area, and
  // copies the asked bytes out of them.
  std::int32_t readCdda(std::uint32_t lba, std::uint32_t count, void* out) override {
    const std::int64_t bytes = std::int64_t{count} * kCdSectorBytes;
    const std::int64_t from = std::int64_t{lba} * kCdSectorBytes + shiftBytes_;
    std::int64_t first = from >= 0 ? from / kCdSectorBytes : -((-from + kCdSectorBytes - 1) / kCdSectorBytes);
    std::int64_t end = (from + bytes + kCdSectorBytes - 1) / kCdSectorBytes;  // exclusive
    std::memset(out, 0, static_cast<std::size_t>(bytes));
    const std::int64_t readFirst = std::max<std::int64_t>(first, 0);
    const std::int64_t readEnd = leadOut_ != 0 ? std::min<std::int64_t>(end, leadOut_) : end;
    if (readEnd <= readFirst) return kOk;  // wholly outside the disc: silence
    buffer_.resize(static_cast<std::size_t>((readEnd - readFirst) * kCdSectorBytes));
    const std::int32_t rc = inner_->readCdda(static_cast<std::uint32_t>(readFirst),
                                             static_cast<std::uint32_t>(readEnd - readFirst),
                                             buffer_.data());
    if (rc != kOk) return rc;
    const std::int64_t have = readFirst * kCdSectorBytes, haveEnd = readEnd * kCdSectorBytes;
    const std::int64_t copyFrom = std::max(from, have), copyEnd = std::min(from + bytes, haveEnd);
    if (copyEnd > copyFrom)
      std::memcpy(static_cast<std::uint8_t*>(out) + (copyFrom - from), buffer_.data() + (copyFrom - have),
                  static_cast<std::size_t>(copyEnd - copyFrom));
    return kOk;
  }
  std::chrono::steady_clock::time_point readDoneAt() const override { return inner_->readDoneAt(); }
  std::int32_t eject() override { return inner_->eject(); }
  std::int32_t load() override { return inner_->load(); }
  std::int32_t lock() override { return inner_->lock(); }
  std::int32_t unlock() override { return inner_->unlock(); }
  std::int32_t lockVolume() override { return inner_->lockVolume(); }
  std::int32_t unlockVolume() override { return inner_->unlockVolume(); }
  std::int32_t prepare() override { return inner_->prepare(); }
  std::int32_t readCdText(void* buffer, std::uint32_t& bytes) override {
    return inner_->readCdText(buffer, bytes);
  }
  std::int32_t setSpeed(std::uint32_t speed) override {
    const std::int32_t rc = inner_->setSpeed(speed);
    return rc == kOk ? Drive::setSpeed(speed) : rc;
  }
  std::uint32_t maxTransferBytes() const override { return inner_->maxTransferBytes(); }

 private:
  std::unique_ptr<Drive> inner_;
  const std::int64_t shiftBytes_;
  std::uint32_t leadOut_ = 0;         // of the last table of contents read; 0 unknown
  std::vector<std::uint8_t> buffer_;  // the sectors read; its room is reused
};

}  // namespace

std::unique_ptr<Drive> withReadOffset(std::unique_ptr<Drive> drive, std::int32_t offset) {
  if (offset == 0) return drive;
  return std::make_unique<OffsetDrive>(std::move(drive), offset);
}

std::optional<std::int32_t> offsetField(const json& entry) {
  const json* value = cfg::find(entry, "offset");
  if (value == nullptr) return std::nullopt;
  if (value->is_number_integer()) {
    const auto v = value->get<std::int64_t>();
    if (v >= -kMaxReadOffset && v <= kMaxReadOffset) return static_cast<std::int32_t>(v);
  }
  throw ConfigError("\"offset\" must be an integer from -" + std::to_string(kMaxReadOffset) +
                    " to " + std::to_string(kMaxReadOffset) + " (samples)");
}

std::int32_t offsetFromFile(const std::string& vendorModel, const Warn& warn) {
  const std::string path = offsetsFilePath();
  if (path.empty() || vendorModel.empty()) return 0;
  std::string problem;
  const std::optional<json> offsets = readOffsetsFile(path, problem);
  if (!offsets) {
    warn("offsets file " + path + " " + problem + ", not read");
    return 0;
  }
  const auto it = offsets->find(vendorModel);
  if (it == offsets->end()) return 0;
  try {
    return offsetField(json{{"offset", *it}}).value_or(0);
  } catch (const ConfigError& e) {
    warn("offsets file " + path + ": \"" + vendorModel + "\": " + e.what());
    return 0;
  }
}

}  // namespace cdr
