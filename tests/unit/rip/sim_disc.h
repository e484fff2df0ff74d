#pragma once
// Simulated drives of the real cdr.dll for the reader and worker tests: a
// CDR_CONFIG file with one drive, loaded through the component's own loader,
// and what the "counter" generator puts on the disc.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/winpath.h"
#include "rondel/drive/cdr_functions.h"
#include "rondel/drive/drive_library.h"
#include "rondel/rip/encoder_table.h"
#include "support/temp_dir.h"
#include "unit/cdr/image_files.h"

namespace rip_test {

constexpr std::uint32_t kSector = 2352;

// The drive library's process-wide state, for one test: a drive made from
// `driveJson` (the fields of one simulated drive entry, without braces),
// and optionally the encoders of testencoders/<variant>.
class SimDisc {
 public:
  explicit SimDisc(const std::string& driveJson)
      : config_("CDR_CONFIG",
                dir_.write("cdr.json", R"({"drives": [{"type": "simulated", "name": "SIM", )" +
                                           driveJson + "}]}")) {
    rondel::CloseDrives();
    rondel::UnloadEncoderLibraries();
    drives_ = rondel::OpenDrives(platform::toWindowsPath(testing_support::binDir()));
  }
  ~SimDisc() {
    rondel::CloseDrives();
    rondel::UnloadEncoderLibraries();
  }
  SimDisc(const SimDisc&) = delete;
  SimDisc& operator=(const SimDisc&) = delete;

  bool ready() const { return drives_ == 1 && rondel::driveAt(0) != nullptr; }
  void loadEncoders(const std::string& variant) {
    rondel::LoadEncoderLibraries(
        platform::toWindowsPath(testing_support::binDir() + "/testencoders/" + variant));
  }
  const testing_support::TempDir& dir() const { return dir_; }

 private:
  testing_support::TempDir dir_;
  testing_support::ScopedEnv config_;
  std::uint32_t drives_ = 0;
};

// Takes every buffer the drive library will still lend (its table is
// bounded), to make the next allocation fail; gives them back when it goes.
class TakenDriveBuffers {
 public:
  TakenDriveBuffers() {
    for (;;) {
      void* data = nullptr;
      CdBufferHandle handle = nullptr;
      if (rondel::cdr().CD_AllocateBuffer(0, 16, &data, &handle) != 0) break;
      handles_.push_back(handle);
    }
  }
  ~TakenDriveBuffers() {
    for (CdBufferHandle h : handles_) rondel::cdr().CD_FreeBuffer(h);
  }
  TakenDriveBuffers(const TakenDriveBuffers&) = delete;
  TakenDriveBuffers& operator=(const TakenDriveBuffers&) = delete;
  std::size_t count() const { return handles_.size(); }
  // Gives `n` of them back now.
  void giveBack(std::size_t n) {
    for (; n > 0 && !handles_.empty(); --n) {
      rondel::cdr().CD_FreeBuffer(handles_.back());
      handles_.pop_back();
    }
  }

 private:
  std::vector<CdBufferHandle> handles_;
};

using cdr_test::counterBytes;

// What `audio` holds at stereo frame `frame`, as a little-endian number.
inline std::uint32_t frameAt(const std::vector<std::uint8_t>& audio, std::size_t frame) {
  return cdr_test::le32(audio.data() + frame * 4);
}

// Checks that `audio` is one unbroken run of the "counter" disc, possibly
// followed by zeros (a tail no pass read); returns the run's first frame
// number and the tail's length in bytes through the outs.
inline void expectUnbrokenRun(const std::vector<std::uint8_t>& audio, std::uint32_t& firstFrame,
                              std::size_t& zeroTail) {
  ASSERT_GE(audio.size(), 4u);
  ASSERT_EQ(audio.size() % kSector, 0u);
  const std::size_t frames = audio.size() / 4;
  std::size_t end = frames;
  while (end > 0 && frameAt(audio, end - 1) == 0) --end;
  firstFrame = frameAt(audio, 0);
  zeroTail = (frames - end) * 4;
  for (std::size_t f = 0; f < end; ++f)
    if (frameAt(audio, f) != firstFrame + f) {
      ADD_FAILURE() << "frame " << f << " holds " << frameAt(audio, f) << ", expected "
                    << firstFrame + f;
      return;
    }
}

}  // namespace rip_test
