#include "drive_model.h"

#include "disc_information.h"
#include "mode_pages.h"
#include "sub_channel.h"
#include "toc_from_track.h"

#include <linux/cdrom.h>
#include <scsi/scsi.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>

namespace emulated_drive {
namespace {

using nlohmann::json;
using std::chrono::milliseconds;

constexpr std::size_t kSector = 2352;

State stateNamed(const std::string& name) {
  if (name == "ready") return State::Ready;
  if (name == "no_medium") return State::NoMedium;
  if (name == "tray_open") return State::TrayOpen;
  if (name == "tray_open_silent") return State::TrayOpenSilent;
  if (name == "becoming_ready") return State::BecomingReady;
  if (name == "unit_attention") return State::UnitAttention;
  throw std::runtime_error("unknown state \"" + name + "\"");
}

Answer failed(std::uint8_t key, std::uint8_t asc, std::uint8_t ascq) { return checkCondition(key, asc, ascq); }

void put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
}

void putAddress(std::uint8_t* p, std::uint32_t lba, bool msf) {
  if (!msf) return put32(p, lba);
  const std::uint32_t f = lba + 150;
  p[0] = 0;
  p[1] = static_cast<std::uint8_t>(f / (60 * 75));
  p[2] = static_cast<std::uint8_t>(f / 75 % 60);
  p[3] = static_cast<std::uint8_t>(f % 75);
}

const char* commandName(std::uint8_t op) {
  switch (op) {
    case 0x00: return "TEST UNIT READY";
    case 0x01: return "REZERO UNIT";
    case 0x03: return "REQUEST SENSE";
    case 0x12: return "INQUIRY";
    case 0x15: return "MODE SELECT (6)";
    case 0x1A: return "MODE SENSE (6)";
    case 0x1B: return "START STOP UNIT";
    case 0x1E: return "PREVENT ALLOW MEDIUM REMOVAL";
    case 0x42: return "READ SUB-CHANNEL";
    case 0x43: return "READ TOC/PMA/ATIP";
    case 0x45: return "PLAY AUDIO (10)";
    case 0x47: return "PLAY AUDIO MSF";
    case 0x4A: return "GET EVENT STATUS NOTIFICATION";
    case 0x4B: return "PAUSE/RESUME";
    case 0x4E: return "STOP PLAY/SCAN";
    case 0x51: return "READ DISC INFORMATION";
    case 0x55: return "MODE SELECT (10)";
    case 0x5A: return "MODE SENSE (10)";
    case 0xA5: return "PLAY AUDIO (12)";
    case 0xAD: return "READ DVD STRUCTURE";
    case 0xBB: return "SET CD SPEED";
    case 0xBD: return "MECHANISM STATUS";
    case 0xBE: return "READ CD";
    default: return "other";
  }
}

// A count of frames as the CD-ROM ioctls' minute/second/frame address.
cdrom_msf0 msfOf(std::uint32_t frames) {
  cdrom_msf0 msf{};
  msf.minute = static_cast<std::uint8_t>(frames / (60 * 75));
  msf.second = static_cast<std::uint8_t>(frames / 75 % 60);
  msf.frame = static_cast<std::uint8_t>(frames % 75);
  return msf;
}

}  // namespace

std::string Drive::load(const std::string& scriptPath) {
  try {
    std::ifstream in(scriptPath);
    if (!in) return "cannot read " + scriptPath;
    const json script = json::parse(in);
    const std::size_t slash = scriptPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : scriptPath.substr(0, slash);
    path_ = script.value("path", "/dev/sr0");
    vendor_ = script.value("vendor", vendor_);
    model_ = script.value("model", model_);
    revision_ = script.value("revision", revision_);
    if (script.contains("cue")) {
      std::string cue = script["cue"].get<std::string>();
      if (cue.front() != '/') cue = folder + "/" + cue;
      const std::string why = loadCue(cue, disc_);
      if (!why.empty()) return why;
      codes_ = loadCodes(cue);
    }
    hasDisc_ = script.contains("cue") && script.value("disc", true);
    trayOpen_ = !script.value("disc", true);
    if (script.contains("readiness")) {
      steps_.clear();
      for (const json& s : script["readiness"])
        steps_.push_back({stateNamed(s.at("state").get<std::string>()), s.value("calls", 0u),
                          s.value("ms", 0u)});
      if (steps_.empty()) steps_.push_back({});
    }
    for (const json& e : script.value("medium_errors", json::array()))
      mediumErrors_[e.at("sector").get<std::uint32_t>()] = e.value("times", -1);
    offsetSamples_ = script.value("offset", 0);
    if (script.contains("jitter")) {
      jitterBytes_ = script["jitter"].value("max_bytes", 0u);
      jitter_.seed(script["jitter"].value("seed", 1u));
    }
    slow_ = milliseconds(script.value("slow_ms", 0));
    kernelTimeout_ = milliseconds(script.value("kernel_timeout_ms", 1000));
    pullAfterReads_ = script.value("pull_after_reads", 0u);
    deadAfterCommands_ = script.value("dead_after_commands", 0u);
    insertedAt_ = std::chrono::steady_clock::now();
    return "";
  } catch (const std::exception& e) {
    return scriptPath + ": " + e.what();
  }
}

void Drive::insert() {
  if (disc_.tracks.empty()) return;  // nothing to put back
  trayOpen_ = false;
  if (!hasDisc_) mediaChanged_ = true;
  hasDisc_ = true;
  turCalls_ = 0;
  insertedAt_ = std::chrono::steady_clock::now();
}

// As the last TEST UNIT READY found it: a script step counted in calls has
// moved on by then.
bool Drive::trayShowsOpen() const {
  return trayOpen_ || lastTested_ == State::TrayOpen || lastTested_ == State::TrayOpenSilent;
}

State Drive::stateAt(bool countCall) {
  if (!hasDisc_) return trayOpen_ ? State::TrayOpen : State::NoMedium;
  std::uint32_t calls = turCalls_;
  auto elapsed = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - insertedAt_);
  if (countCall) ++turCalls_;
  for (const Step& step : steps_) {
    if (step.calls > 0) {
      if (calls < step.calls) return step.state;
      calls -= step.calls;
    } else if (step.ms > 0) {
      if (elapsed < milliseconds(step.ms)) return step.state;
      elapsed -= milliseconds(step.ms);
    } else {
      return step.state;
    }
  }
  return steps_.back().state;
}

Answer Drive::notReady(State s) const {
  switch (s) {
    case State::NoMedium: return failed(0x02, 0x3A, 0x01);
    case State::TrayOpen: return failed(0x02, 0x3A, 0x02);
    case State::BecomingReady: return failed(0x02, 0x04, 0x01);
    case State::UnitAttention: return failed(0x06, 0x28, 0x00);
    case State::TrayOpenSilent: {
      Answer a;
      a.good = false;
      return a;
    }
    default: return {};
  }
}

void Drive::readDisc(std::int64_t byteOffset, std::uint8_t* out, std::size_t bytes) {
  std::memset(out, 0, bytes);
  const std::int64_t end = std::int64_t{disc_.leadOut} * kSector;
  const std::int64_t from = std::max<std::int64_t>(byteOffset, 0);
  const std::int64_t to = std::min<std::int64_t>(byteOffset + static_cast<std::int64_t>(bytes), end);
  if (to <= from) return;
  // A stream, not open(): that call is the emulation's own, and its lock is
  // held here.
  std::ifstream bin(disc_.bin, std::ios::binary);
  bin.seekg(from);
  bin.read(reinterpret_cast<char*>(out + (from - byteOffset)), to - from);
}

// Audio play is not heard: it completes at once, leaving the head on the
// last sector played for READ SUB-CHANNEL to report.
Answer Drive::play(std::uint32_t lba, std::uint32_t length) {
  const State s = stateAt(false);
  if (s != State::Ready) return notReady(s);
  if (length == 0) return {};
  if (std::uint64_t{lba} + length > disc_.leadOut) return failed(0x05, 0x21, 0x00);
  for (std::uint32_t sector = lba; sector < lba + length; ++sector)
    if (dataSector(sector)) return failed(0x05, 0x64, 0x00);
  head_ = lba + length - 1;
  played_ = true;
  return {};
}

Answer Drive::fullTocAnswer(std::size_t allocation, std::uint8_t* data, std::size_t room) {
  const State s = stateAt(false);
  if (s != State::Ready) return notReady(s);
  Answer ok;
  ok.bytes = fullToc(disc_, data, std::min(room, allocation));
  return ok;
}

bool Drive::dataSector(std::uint32_t lba) const {
  bool data = !disc_.tracks.empty() && disc_.tracks.front().data;
  for (const DiscTrack& t : disc_.tracks)
    if (t.start <= lba) data = t.data;
  return data;
}

Answer Drive::readCd(std::uint32_t lba, std::uint32_t count, std::uint8_t* data, std::size_t room,
                     std::uint8_t expectedType, const SectorFields& fields) {
  const State s = stateAt(false);
  if (s != State::Ready) return notReady(s);
  if (std::uint64_t{lba} + count > disc_.leadOut) return failed(0x05, 0x21, 0x00);
  // Between sessions lie a lead-out and a lead-in, which hold no user data.
  if (lba < disc_.gapEnd() && lba + count > disc_.gapStart()) return failed(0x05, 0x21, 0x00);
  std::size_t bytes = 0;
  bool plain = true;  // every sector whole: the raw bytes as they are
  for (std::uint32_t sector = lba; sector < lba + count; ++sector) {
    const std::size_t n = sectorBytes(fields, dataSector(sector));
    bytes += n;
    plain = plain && n == kSector;
  }
  if (bytes > room) return failed(0x05, 0x24, 0x00);
  ++reads_;
  if (pullAfterReads_ != 0 && reads_ >= pullAfterReads_) {
    pullAfterReads_ = 0;  // once
    hasDisc_ = false;
    trayOpen_ = true;
    return notReady(State::TrayOpen);
  }
  for (std::uint32_t sector = lba; sector < lba + count; ++sector) {
    auto it = mediumErrors_.find(sector);
    if (it == mediumErrors_.end() || it->second == 0) continue;
    if (it->second > 0) --it->second;
    return failed(0x03, 0x11, 0x05);
  }
  // Expected sector type: 0 any, 1 CD-DA only, 2 to 5 the data modes only.
  if (expectedType != 0)
    for (std::uint32_t sector = lba; sector < lba + count; ++sector)
      if (dataSector(sector) == (expectedType == 1)) return failed(0x05, 0x64, 0x00);
  std::int64_t shift = -std::int64_t{offsetSamples_} * 4;
  if (jitterBytes_ > 0) {
    const std::int64_t frames = jitterBytes_ / 4;
    shift += 4 * std::uniform_int_distribution<std::int64_t>(-frames, frames)(jitter_);
  }
  if (plain) {
    readDisc(std::int64_t{lba} * kSector + shift, data, bytes);
  } else {
    std::vector<std::uint8_t> raw(std::size_t{count} * kSector);
    readDisc(std::int64_t{lba} * kSector + shift, raw.data(), raw.size());
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
      const bool isData = dataSector(lba + i);
      copyFields(raw.data() + std::size_t{i} * kSector, isData, fields, data + at);
      at += sectorBytes(fields, isData);
    }
  }
  head_ = lba + count - 1;
  Answer a;
  a.bytes = bytes;
  return a;
}

std::size_t Drive::toc(bool msf, std::uint8_t format, std::uint8_t* data, std::size_t room) const {
  std::uint8_t reply[4 + 8 * 101] = {};
  std::size_t length = 4;
  const auto n = static_cast<std::uint8_t>(disc_.tracks.size());
  const auto describe = [&](std::uint8_t track, std::uint32_t lba, bool dataTrack) {
    std::uint8_t* d = reply + length;
    d[1] = static_cast<std::uint8_t>(0x10 | (dataTrack ? 0x04 : 0x00));
    d[2] = track;
    putAddress(d + 4, lba, msf);
    length += 8;
  };
  if (format == 0) {
    reply[2] = 1;
    reply[3] = n;
    for (std::uint8_t t = 1; t <= n; ++t) describe(t, disc_.tracks[t - 1].start, disc_.tracks[t - 1].data);
    describe(0xAA, disc_.leadOut, false);
  } else {
    // The first and last complete sessions, and the first track of the last.
    const std::size_t first = disc_.lastSessionFirstTrack();
    reply[2] = 1;
    reply[3] = static_cast<std::uint8_t>(disc_.sessions());
    describe(static_cast<std::uint8_t>(first + 1), disc_.tracks[first].start, disc_.tracks[first].data);
  }
  reply[0] = static_cast<std::uint8_t>((length - 2) >> 8);
  reply[1] = static_cast<std::uint8_t>(length - 2);
  const std::size_t copied = std::min(length, room);
  std::memcpy(data, reply, copied);
  return copied;
}

Answer Drive::packet(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data,
                     std::size_t room, unsigned timeoutMs, const std::uint8_t* out, std::size_t sent) {
  if (cdbLength == 0) return failed(0x05, 0x20, 0x00);
  ++counts_[commandName(cdb[0])];
  if (unplugged_) {  // the descriptor of a device that went away
    Answer a;
    a.good = false;
    return a;
  }
  if (deadAfterCommands_ != 0 && ++commands_ > deadAfterCommands_) dead_ = true;
  if (std::getenv("EMULATED_DRIVE_TRACE")) {
    std::string bytes;
    char hex[4];
    for (std::size_t i = 0; i < std::min<std::size_t>(cdbLength, 16); ++i) {
      std::snprintf(hex, sizeof hex, " %02x", cdb[i]);
      bytes += hex;
    }
    std::fprintf(stderr, "emulated drive:%s timeout %u\n", bytes.c_str(), timeoutMs);
  }
  if (dead_) {
    Answer a;
    a.good = false;
    a.timedOut = true;
    a.wait = timeoutMs > 0 ? milliseconds(timeoutMs) : kernelTimeout_;
    return a;
  }
  Answer a = [&]() -> Answer {
    const auto at = [&](std::size_t i) -> std::uint8_t { return i < cdbLength ? cdb[i] : 0; };
    switch (cdb[0]) {
      case 0x00: {  // TEST UNIT READY
        const State s = lastTested_ = stateAt(true);
        return s == State::Ready ? Answer{} : notReady(s);
      }
      case 0x12: {  // INQUIRY
        std::uint8_t reply[36] = {0x05, 0x80, 0x05, 0x32, 31};
        const auto field = [&](std::size_t at, std::size_t width, const std::string& text) {
          std::memset(reply + at, ' ', width);
          std::memcpy(reply + at, text.data(), std::min(width, text.size()));
        };
        field(8, 8, vendor_);
        field(16, 16, model_);
        field(32, 4, revision_);
        Answer ok;
        ok.bytes = std::min(room, std::min<std::size_t>(sizeof reply, at(4)));
        std::memcpy(data, reply, ok.bytes);
        return ok;
      }
      case 0x1B: {  // START STOP UNIT
        if ((at(4) & 0x02) == 0) return {};
        if (at(4) & 0x01) {
          insert();
          return {};
        }
        if (locked_) return failed(0x05, 0x53, 0x02);
        hasDisc_ = false;
        trayOpen_ = true;
        return {};
      }
      case 0x1E: locked_ = (at(4) & 0x01) != 0; return {};
      case 0x43: {  // READ TOC/PMA/ATIP
        const std::uint8_t format = at(2) & 0x0F;
        if (format == 2) return fullTocAnswer(std::size_t{at(7)} << 8 | at(8), data, room);
        if (format > 1) return failed(0x05, 0x24, 0x00);
        const State s = stateAt(false);
        if (s != State::Ready) return notReady(s);
        Answer ok;
        const std::size_t allocation = std::size_t{at(7)} << 8 | at(8);
        if (format == 0 && at(6) > 1) {  // from a later track on
          std::vector<std::uint8_t> whole(4 + 8 * 102);
          const std::size_t kept = keepFromTrack(whole.data(), toc((at(1) & 0x02) != 0, 0, whole.data(), whole.size()), at(6));
          if (kept == 0) return failed(0x05, 0x24, 0x00);
          ok.bytes = std::min({room, allocation, kept});
          std::memcpy(data, whole.data(), ok.bytes);
          return ok;
        }
        ok.bytes = toc((at(1) & 0x02) != 0, format, data, std::min(room, allocation));
        return ok;
      }
      case 0x4A: {  // GET EVENT STATUS NOTIFICATION, media class
        if ((at(1) & 0x01) == 0) return failed(0x05, 0x24, 0x00);
        std::uint8_t reply[8] = {0, 6, 0x04, 0x10, 0, 0, 0, 0};
        reply[5] = static_cast<std::uint8_t>((trayShowsOpen() ? 0x01 : 0) | (hasDisc_ ? 0x02 : 0));
        if (mediaChanged_) reply[4] = 0x02;  // new media
        Answer ok;
        ok.bytes = std::min(room, sizeof reply);
        std::memcpy(data, reply, ok.bytes);
        return ok;
      }
      case 0xBD: {  // MECHANISM STATUS
        std::uint8_t reply[8] = {};
        reply[1] = trayShowsOpen() ? 0x10 : 0;
        Answer ok;
        ok.bytes = std::min(room, sizeof reply);
        std::memcpy(data, reply, ok.bytes);
        return ok;
      }
      case 0xBB: speedKbs_ = std::uint32_t{at(2)} << 8 | at(3); return {};
      case 0xBE: {  // READ CD
        const std::uint32_t lba = std::uint32_t{at(2)} << 24 | at(3) << 16 | at(4) << 8 | at(5);
        const std::uint32_t count = std::uint32_t{at(6)} << 16 | at(7) << 8 | at(8);
        const std::uint8_t expectedType = (at(1) >> 2) & 0x07;
        SectorFields fields;
        if (expectedType > 5 || !fieldsAsked(at(9), at(10), fields)) return failed(0x05, 0x24, 0x00);
        if (count == 0) return {};
        return readCd(lba, count, data, room, expectedType, fields);
      }
      case 0x01: {  // REZERO UNIT: a seek to the start
        const State s = stateAt(false);
        if (s != State::Ready) return notReady(s);
        head_ = 0;
        return {};
      }
      case 0x45:  // PLAY AUDIO (10)
        return play(std::uint32_t{at(2)} << 24 | at(3) << 16 | at(4) << 8 | at(5),
                    std::uint32_t{at(7)} << 8 | at(8));
      case 0xA5:  // PLAY AUDIO (12)
        return play(std::uint32_t{at(2)} << 24 | at(3) << 16 | at(4) << 8 | at(5),
                    std::uint32_t{at(6)} << 24 | at(7) << 16 | at(8) << 8 | at(9));
      case 0x47: {  // PLAY AUDIO MSF
        const auto frames = [](std::uint8_t m, std::uint8_t sec, std::uint8_t f) {
          return (std::uint32_t{m} * 60 + sec) * 75 + f;
        };
        const std::uint32_t from = frames(at(3), at(4), at(5)), to = frames(at(6), at(7), at(8));
        if (from < 150 || to < from) return failed(0x05, 0x24, 0x00);
        return play(from - 150, to - from);
      }
      case 0x4B:  // PAUSE/RESUME
      case 0x4E:  // STOP PLAY/SCAN: playing ends at once here
        return {};
      case 0x51: {  // READ DISC INFORMATION, standard disc information only
        if ((at(1) & 0x07) != 0) return failed(0x05, 0x24, 0x00);
        const State s = stateAt(false);
        if (s != State::Ready) return notReady(s);
        Answer ok;
        ok.bytes = discInformation(disc_, data, std::min(room, std::size_t{at(7)} << 8 | at(8)));
        return ok;
      }
      case 0xAD: {  // READ DVD STRUCTURE: a CD holds none
        const State s = stateAt(false);
        if (s != State::Ready) return notReady(s);
        return failed(0x05, 0x30, 0x02);  // cannot read medium, incompatible format
      }
      case 0x1A:
      case 0x5A:  // MODE SENSE (6) and (10)
        return modeSense(cdb, cdbLength, data, room, {locked_, speedKbs_}, modes_);
      case 0x15:
      case 0x55:  // MODE SELECT (6) and (10)
        return modeSelect(cdb, cdbLength, out, sent, modes_);
      case 0x42: {  // READ SUB-CHANNEL
        const State s = stateAt(false);
        if (s != State::Ready) return notReady(s);
        const std::uint8_t status = played_ ? 0x13 : 0x15;  // play completed, said once; else none
        played_ = false;
        return readSubChannel(cdb, cdbLength, disc_, codes_, head_, status, data, room);
      }
      default:  // invalid command operation code
        unanswered(cdb[0]);
        return failed(0x05, 0x20, 0x00);
    }
  }();
  a.wait += slow_;
  return a;
}

long Drive::ioctl(unsigned long request, void* argument, milliseconds& wait) {
  wait = slow_;
  if (std::getenv("EMULATED_DRIVE_TRACE")) std::fprintf(stderr, "emulated drive: ioctl %#lx\n", request);
  if (unplugged_) return -ENODEV;
  // Where the device sits on its bus (libcdio asks at every open): the
  // kernel answers these itself, so a hung drive does not delay them.
  if (request == SCSI_IOCTL_GET_IDLUN) {
    auto* idLun = static_cast<int*>(argument);
    idLun[0] = 0;  // target 0, lun 0, channel 0, host 0
    idLun[1] = 1;
    wait = milliseconds(0);
    return 0;
  }
  if (request == SCSI_IOCTL_GET_BUS_NUMBER) {
    *static_cast<int*>(argument) = 0;
    wait = milliseconds(0);
    return 0;
  }
  if (deadAfterCommands_ != 0 && ++commands_ > deadAfterCommands_) dead_ = true;
  if (dead_) {
    wait = kernelTimeout_;
    return -EIO;
  }
  const auto mediumError = [&]() -> long { return hasDisc_ ? -EIO : -ENOMEDIUM; };
  switch (request) {
    case CDROM_GET_CAPABILITY:
      ++counts_["CDROM_GET_CAPABILITY"];
      return CDC_CLOSE_TRAY | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED | CDC_MEDIA_CHANGED |
             CDC_PLAY_AUDIO | CDC_DRIVE_STATUS | CDC_GENERIC_PACKET | CDC_CD_R | CDC_CD_RW;
    case CDROM_DRIVE_STATUS: {
      ++counts_["CDROM_DRIVE_STATUS"];
      const State s = stateAt(false);
      if (s == State::TrayOpen || s == State::TrayOpenSilent) return CDS_TRAY_OPEN;
      if (s == State::NoMedium) return CDS_NO_DISC;
      return s == State::Ready ? CDS_DISC_OK : CDS_DRIVE_NOT_READY;
    }
    case CDROM_DISC_STATUS: {
      if (!ready(false)) return CDS_NO_DISC;
      const bool anyData = std::any_of(disc_.tracks.begin(), disc_.tracks.end(),
                                       [](const DiscTrack& t) { return t.data; });
      return anyData ? CDS_MIXED : CDS_AUDIO;
    }
    case CDROM_MEDIA_CHANGED: {
      const bool changed = mediaChanged_;
      mediaChanged_ = false;
      return changed ? 1 : 0;
    }
    case CDROMREADTOCHDR: {
      ++counts_["CDROMREADTOCHDR"];
      if (!ready(false)) return mediumError();
      auto* header = static_cast<cdrom_tochdr*>(argument);
      header->cdth_trk0 = 1;
      header->cdth_trk1 = static_cast<std::uint8_t>(disc_.tracks.size());
      return 0;
    }
    case CDROMREADTOCENTRY: {
      ++counts_["CDROMREADTOCENTRY"];
      if (!ready(false)) return mediumError();
      auto* entry = static_cast<cdrom_tocentry*>(argument);
      std::uint32_t lba;
      bool dataTrack = false;
      if (entry->cdte_track == CDROM_LEADOUT) {
        lba = disc_.leadOut;
      } else if (entry->cdte_track >= 1 && entry->cdte_track <= disc_.tracks.size()) {
        lba = disc_.tracks[entry->cdte_track - 1].start;
        dataTrack = disc_.tracks[entry->cdte_track - 1].data;
      } else {
        return -EINVAL;
      }
      entry->cdte_adr = 1;
      entry->cdte_ctrl = dataTrack ? CDROM_DATA_TRACK : 0;
      entry->cdte_datamode = dataTrack ? 1 : 0;
      if (entry->cdte_format == CDROM_MSF) {
        entry->cdte_addr.msf = msfOf(lba + 150);
      } else {
        entry->cdte_format = CDROM_LBA;
        entry->cdte_addr.lba = static_cast<int>(lba);
      }
      return 0;
    }
    case CDROMMULTISESSION: {
      if (!ready(false)) return mediumError();
      // As the kernel answers: the start of the last session's first track
      // (0 on a disc of one session), in the address format asked for.
      auto* session = static_cast<cdrom_multisession*>(argument);
      const bool multi = disc_.sessions() > 1;
      const std::uint32_t lba = multi ? disc_.tracks[disc_.lastSessionFirstTrack()].start : 0;
      session->xa_flag = multi ? 1 : 0;
      if (session->addr_format == CDROM_MSF) {
        session->addr.msf = msfOf(lba + 150);
      } else {
        session->addr_format = CDROM_LBA;
        session->addr.lba = static_cast<int>(lba);
      }
      return 0;
    }
    case CDROM_GET_MCN: {  // the kernel asks READ SUB-CHANNEL for it
      if (!ready(false)) return mediumError();
      auto* mcn = static_cast<cdrom_mcn*>(argument);
      std::memset(mcn->medium_catalog_number, 0, sizeof mcn->medium_catalog_number);
      std::memcpy(mcn->medium_catalog_number, codes_.catalog.data(), codes_.catalog.size());
      return 0;
    }
    case CDROMSUBCHNL: {  // the same, current position
      if (!ready(false)) return mediumError();
      auto* q = static_cast<cdrom_subchnl*>(argument);
      const QPosition at = positionAt(disc_, head_);
      q->cdsc_audiostatus = CDROM_AUDIO_NO_STATUS;
      q->cdsc_adr = 1;
      q->cdsc_ctrl = at.control;
      q->cdsc_trk = at.track;
      q->cdsc_ind = at.index;
      if (q->cdsc_format == CDROM_MSF) {
        q->cdsc_absaddr.msf = msfOf(at.absolute + 150);
        q->cdsc_reladdr.msf = msfOf(static_cast<std::uint32_t>(at.relative < 0 ? -at.relative : at.relative));
      } else {
        q->cdsc_format = CDROM_LBA;
        q->cdsc_absaddr.lba = static_cast<int>(at.absolute);
        q->cdsc_reladdr.lba = at.relative;
      }
      return 0;
    }
    case DVD_READ_STRUCT:  // READ DVD STRUCTURE, refused for a CD as below
      return hasDisc_ ? -EIO : -ENOMEDIUM;
    case CDROMVOLREAD: {  // the kernel reads the audio control page: full volume
      auto* volume = static_cast<cdrom_volctrl*>(argument);
      volume->channel0 = volume->channel1 = 0xFF;
      volume->channel2 = volume->channel3 = 0;
      return 0;
    }
    case CDROMEJECT:
      ++counts_["CDROMEJECT"];
      if (locked_) return -EBUSY;
      hasDisc_ = false;
      trayOpen_ = true;
      return 0;
    case CDROMCLOSETRAY:
      ++counts_["CDROMCLOSETRAY"];
      insert();
      return 0;
    case CDROM_LOCKDOOR:
      locked_ = reinterpret_cast<std::uintptr_t>(argument) != 0;
      return 0;
    case CDROM_SELECT_SPEED:
      ++counts_["CDROM_SELECT_SPEED"];
      speedKbs_ = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(argument) * 176);
      return 0;
    case CDROMREADAUDIO: {
      ++counts_["CDROMREADAUDIO"];
      auto* read = static_cast<cdrom_read_audio*>(argument);
      if (read->nframes <= 0 || read->nframes > 75) return -EINVAL;
      std::uint32_t lba;
      if (read->addr_format == CDROM_LBA) {
        if (read->addr.lba < 0) return -EINVAL;
        lba = static_cast<std::uint32_t>(read->addr.lba);
      } else {
        const std::uint32_t f = (read->addr.msf.minute * 60u + read->addr.msf.second) * 75u + read->addr.msf.frame;
        if (f < 150) return -EINVAL;
        lba = f - 150;
      }
      const auto count = static_cast<std::uint32_t>(read->nframes);
      SectorFields samples;
      samples.userData = true;
      const Answer a = readCd(lba, count, read->buf, std::size_t{count} * kSector, 1, samples);
      if (a.good) return 0;
      return a.sense.key == 0x02 ? -ENOMEDIUM : -EIO;
    }
    default:
      ++counts_["other ioctl"];
      if (std::getenv("EMULATED_DRIVE_TRACE")) std::fprintf(stderr, "emulated drive: unanswered ioctl %#lx\n", request);
      return -ENOTTY;
  }
}

// A command this drive does not have: counted by its operation code, and
// said in the trace, so a test running an outside client can tell which it
// asked.
void Drive::unanswered(std::uint8_t op) {
  char name[16];
  std::snprintf(name, sizeof name, "unanswered %02x", op);
  ++counts_[name];
  if (std::getenv("EMULATED_DRIVE_TRACE")) std::fprintf(stderr, "emulated drive: %s\n", name);
}

bool Drive::control(const std::string& what) {
  if (what == "unplug") unplugged_ = true;
  else if (what == "plug") unplugged_ = false;
  else if (what == "die") dead_ = true;
  else if (what == "revive") dead_ = false, deadAfterCommands_ = 0;
  else if (what == "count_open") ++counts_["open"];
  else return false;
  return true;
}

std::string Drive::statusJson() const {
  json counts = json::object();
  for (const auto& [name, n] : counts_) counts[name] = n;
  return json{{"locked", locked_}, {"tray_open", trayOpen_}, {"disc", hasDisc_},
              {"speed_kbs", speedKbs_}, {"dead", dead_}, {"counts", counts}}
      .dump();
}

}  // namespace emulated_drive
