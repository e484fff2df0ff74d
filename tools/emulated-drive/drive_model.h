#pragma once
// The emulated drive's behaviour: a disc, a tray, a lock, and a script of
// readiness states and faults, answering MMC packet commands and the Linux
// CD-ROM ioctls. Used by interpose.cpp under one mutex (any thread); the
// waits a command asks for (slow or dead drive) are returned, not slept, so
// the caller can sleep without holding that mutex.
#include <chrono>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "disc_codes.h"
#include "disc_image.h"
#include "mode_settings.h"
#include "sector_fields.h"

namespace emulated_drive {

// A readiness state of the script.
enum class State { Ready, NoMedium, TrayOpen, TrayOpenSilent, BecomingReady, UnitAttention };

struct Step {
  State state = State::Ready;
  std::uint32_t calls = 0;  // lasts this many TEST UNIT READY calls, or
  std::uint32_t ms = 0;     // this long after the disc went in; 0 and 0 = for ever
};

struct Sense {
  std::uint8_t key = 0, asc = 0, ascq = 0;
  bool present = false;  // false: the command failed without sense data
};

// The outcome of one command.
struct Answer {
  bool good = true;
  Sense sense;
  std::size_t bytes = 0;                       // data bytes written
  std::chrono::milliseconds wait{0};           // how long the command takes
  bool timedOut = false;                       // the drive did not answer
};

// A command that ends in CHECK CONDITION with this sense.
inline Answer checkCondition(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) {
  Answer a;
  a.good = false;
  a.sense = {key, asc, ascq, true};
  return a;
}

class Drive {
 public:
  // Reads the script (JSON); "" on success, otherwise why not.
  std::string load(const std::string& scriptPath);
  const std::string& path() const { return path_; }

  // One MMC command: cdb of cdbLength bytes, data buffer of `room` bytes
  // (read direction), timeoutMs as the caller set it, and the data sent to
  // the drive (write direction, `sent` bytes at `out`).
  Answer packet(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data,
                std::size_t room, unsigned timeoutMs, const std::uint8_t* out = nullptr,
                std::size_t sent = 0);
  // A CD-ROM ioctl by request number: the result (>= 0) or -errno, and the
  // wait it costs.
  long ioctl(unsigned long request, void* argument, std::chrono::milliseconds& wait);

  // Test controls: "unplug", "plug", "die", "revive".
  bool control(const std::string& what);
  bool unplugged() const { return unplugged_; }
  // What a test may check: lock, tray, counts of commands by name.
  std::string statusJson() const;

 private:
  bool trayShowsOpen() const;  // what GET EVENT STATUS and MECHANISM STATUS report
  State stateAt(bool countCall);
  Answer notReady(State s) const;
  // READ CD of `count` sectors from `lba`: expected sector type as in the
  // cdb (0 any, 1 CD-DA, 2-5 data), the fields asked of each sector.
  Answer readCd(std::uint32_t lba, std::uint32_t count, std::uint8_t* data, std::size_t room,
                std::uint8_t expectedType, const SectorFields& fields);
  bool dataSector(std::uint32_t lba) const;
  void unanswered(std::uint8_t op);
  Answer play(std::uint32_t lba, std::uint32_t length);
  Answer fullTocAnswer(std::size_t allocation, std::uint8_t* data, std::size_t room);
  void readDisc(std::int64_t byteOffset, std::uint8_t* out, std::size_t bytes);
  std::size_t toc(bool msf, std::uint8_t format, std::uint8_t* data, std::size_t room) const;
  void insert();
  bool ready(bool countCall) { return stateAt(countCall) == State::Ready; }

  std::string path_ = "/dev/sr0";
  std::string vendor_ = "RONDEL", model_ = "EMULATED CD", revision_ = "1.0";
  DiscImage disc_;
  DiscCodes codes_;           // its catalogue number and ISRCs
  ModeSettings modes_;        // what MODE SELECT set
  std::uint32_t head_ = 0;    // where the last read or play left the head
  bool played_ = false;       // a play completed and was not yet reported
  bool hasDisc_ = false;      // a disc is in the tray
  bool trayOpen_ = false;
  bool locked_ = false;
  bool unplugged_ = false;
  bool dead_ = false;
  bool mediaChanged_ = false;
  std::vector<Step> steps_{{State::Ready, 0, 0}};
  std::uint32_t turCalls_ = 0;
  State lastTested_ = State::Ready;
  std::chrono::steady_clock::time_point insertedAt_ = std::chrono::steady_clock::now();
  std::map<std::uint32_t, std::int64_t> mediumErrors_;  // sector -> failures left (-1 for ever)
  std::int32_t offsetSamples_ = 0;
  std::uint32_t jitterBytes_ = 0;
  std::mt19937 jitter_{1};
  std::chrono::milliseconds slow_{0};
  std::chrono::milliseconds kernelTimeout_{1000};
  std::uint32_t pullAfterReads_ = 0;  // 0: never
  std::uint32_t deadAfterCommands_ = 0;  // 0: never
  std::uint32_t reads_ = 0, commands_ = 0;
  std::uint32_t speedKbs_ = 0;
  std::map<std::string, std::uint32_t> counts_;
};

}  // namespace emulated_drive
