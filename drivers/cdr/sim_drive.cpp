#include "drivers/cdr/sim_drive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace cdr {

SimulatedDrive::SimulatedDrive(SimDriveSettings settings)
    : settings_(std::move(settings)), random_(settings_.jitter.seed) {
  if (!buildToc(settings_.tracks, toc_)) throw std::runtime_error(checkLayout(settings_.tracks));
  if (settings_.readiness.empty()) settings_.readiness.push_back(kCdReady);
  leadOut_ = leadOutOf(settings_.tracks);
  tocFailuresLeft_ = settings_.tocFailures;
  for (const ReadFailure& f : settings_.readFailures) failuresLeft_.push_back(f.attempts);

  if (settings_.audio == SimAudio::kFile) {
    // O_NONBLOCK keeps a FIFO from hanging the open; only regular files pass.
    fd_ = ::open(settings_.audioFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
      throw std::runtime_error("audio file " + settings_.audioFile +
                               " cannot be opened: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      throw std::runtime_error("audio file " + settings_.audioFile + " is not a regular file");
    }
  }
  if (settings_.disc) insertDisc();
}

SimulatedDrive::~SimulatedDrive() {
  if (fd_ >= 0) ::close(fd_);
}

void SimulatedDrive::insertDisc() {
  discIn_ = true;
  nextAnswer_ = 0;
  insertedAt_ = Clock::now();
  state_ = settings_.timedReadiness.empty() ? settings_.readiness.front()
                                            : settings_.timedReadiness.front().answer;
}

std::int32_t SimulatedDrive::testUnitReady() {
  if (!discIn_) return kCdNoDisc;
  if (!settings_.timedReadiness.empty()) {
    state_ = timedAnswerAt(settings_.timedReadiness,
                           std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - insertedAt_));
    return state_;
  }
  state_ = settings_.readiness[nextAnswer_];
  if (nextAnswer_ + 1 < settings_.readiness.size()) ++nextAnswer_;
  return state_;
}

std::int32_t SimulatedDrive::readToc(CdToc& toc) {
  if (!ready()) return kNotReady;
  if (tocFailuresLeft_ > 0) {
    --tocFailuresLeft_;
    return kFailed;
  }
  toc = toc_;
  return kOk;
}

bool SimulatedDrive::failsAt(std::uint32_t lba, std::uint32_t count) {
  bool fails = false;
  for (std::size_t i = 0; i < settings_.readFailures.size(); ++i) {
    const ReadFailure& f = settings_.readFailures[i];
    if (f.sector < lba || f.sector - lba >= count) continue;
    if (f.permanent) {
      fails = true;
    } else if (failuresLeft_[i] > 0) {
      --failuresLeft_[i];
      fails = true;
    }
  }
  return fails;
}

std::int64_t SimulatedDrive::nextShift() {
  const Jitter& j = settings_.jitter;
  if (j.kind == Jitter::Kind::kFixed) return j.bytes;
  if (j.kind != Jitter::Kind::kRandom) return 0;
  // Whole stereo frames, as a drive that lands a few samples off does.
  const std::int32_t frames = static_cast<std::int32_t>(j.maxBytes / 4);
  return 4 * std::int64_t{std::uniform_int_distribution<std::int32_t>(-frames, frames)(random_)};
}

std::int32_t SimulatedDrive::readCdda(std::uint32_t lba, std::uint32_t count, void* out) {
  doneAt_ = {};
  if (settings_.ejectAfterReads != 0 && !pulled_ && ++reads_ >= settings_.ejectAfterReads) {
    pulled_ = true;  // once: after CD_Load the disc stays
    discIn_ = false;
  }
  if (!ready()) return kNotReady;
  if (std::uint64_t{lba} + count > leadOut_) return kOutOfRange;
  if (settings_.speed != 0) {
    // The drive streams one transfer after another: a read waits for the
    // transfers before it, and the caller waits outside the drive's lock.
    busyUntil_ = std::max(Clock::now(), busyUntil_) + transferTime(count, settings_.speed);
    doneAt_ = busyUntil_;
  }
  if (failsAt(lba, count)) return kFailed;
  const std::int64_t shift = clampShift(nextShift(), lba, count, leadOut_);
  const std::int64_t offset = std::int64_t{lba} * kCdSectorBytes + shift;
  return readDisc(static_cast<std::uint64_t>(offset), std::size_t{count} * kCdSectorBytes,
                  static_cast<std::uint8_t*>(out));
}

std::int32_t SimulatedDrive::readDisc(std::uint64_t offset, std::size_t bytes,
                                      std::uint8_t* out) const {
  if (settings_.audio != SimAudio::kFile) {
    const auto first = static_cast<std::uint32_t>(offset / kCdSectorBytes);
    const std::size_t skip = offset % kCdSectorBytes;
    if (skip == 0) {
      generateAudio(settings_.audio, first, static_cast<std::uint32_t>(bytes / kCdSectorBytes), out);
      return kOk;
    }
    const auto sectors = static_cast<std::uint32_t>((skip + bytes + kCdSectorBytes - 1) / kCdSectorBytes);
    std::vector<std::uint8_t> span(std::size_t{sectors} * kCdSectorBytes);
    generateAudio(settings_.audio, first, sectors, span.data());
    std::memcpy(out, span.data() + skip, bytes);
    return kOk;
  }
  auto at = static_cast<off_t>(offset);
  while (bytes > 0) {
    const ssize_t got = ::pread(fd_, out, bytes, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return kFailed;  // error, or the file ends before the sectors do
    out += got;
    at += got;
    bytes -= static_cast<std::size_t>(got);
  }
  return kOk;
}

std::int32_t SimulatedDrive::eject() {
  discIn_ = false;
  return kOk;
}

std::int32_t SimulatedDrive::load() {
  // Closing the tray replays the readiness script: the drive spins up again.
  if (!discIn_) insertDisc();
  return kOk;
}

std::int32_t SimulatedDrive::lock() {
  ++locks_;
  return kOk;
}

std::int32_t SimulatedDrive::unlock() {
  if (locks_ > 0) --locks_;
  return kOk;
}

std::int32_t SimulatedDrive::lockVolume() {
  ++volumeLocks_;
  return kOk;
}

std::int32_t SimulatedDrive::unlockVolume() {
  if (volumeLocks_ > 0) --volumeLocks_;
  return kOk;
}

std::int32_t SimulatedDrive::prepare() {
  ++prepares_;
  return kOk;
}

}  // namespace cdr
