#include "host/commands/rip_verification.h"

#include <algorithm>
#include <iostream>

#include "host/commands/command_options.h"
#include "host/commands/rip_progress.h"
#include "sdk/rondel_window.h"

namespace qomhost {

std::string checkLine(const TrackCheck& check) {
  if (!check.hasChecksums()) return "";
  std::string line = "CRC " + check.crc32;
  if (!check.accurateRipV1.empty())
    line += "  AccurateRip v1 " + check.accurateRipV1 + " v2 " + check.accurateRipV2;
  return line + ": " + verdictText(check);
}

void addCheckJson(nlohmann::json& track, const TrackCheck& check) {
  const auto hex = [](const std::string& h) { return h.empty() ? nlohmann::json() : nlohmann::json(h); };
  track["crc32"] = hex(check.crc32);
  track["accuraterip_v1"] = hex(check.accurateRipV1);
  track["accuraterip_v2"] = hex(check.accurateRipV2);
  track["accuraterip"] = {{"status", check.status}, {"confidence", check.confidence}, {"total", check.total}};
}

std::string summaryLine(const std::vector<TrackCheck>& checks) {
  return "AccurateRip: " + verdictSummary(checks);
}

nlohmann::json discAccurateRipJson(const DiscAccurateRip& disc) {
  return {{"id1", jsonText(disc.id1)},       {"id2", jsonText(disc.id2)},
          {"freedb", jsonText(disc.freedb)}, {"path", jsonText(disc.path)},
          {"lookup", jsonText(disc.lookup)}};
}

std::string discAccurateRipLine(const DiscAccurateRip& disc) {
  if (disc.id1.empty()) return "";
  return "AccurateRip: " + out(disc.id1) + " " + out(disc.id2) + " " + out(disc.freedb) + " (" +
         out(disc.path) + ")";
}

void waitForVerdicts(HeadlessWindow& window, std::chrono::milliseconds timeout) {
  const qom::ui::Window* owner = window.componentWindow();
  if (owner == nullptr) return;
  window.driver().runUntil(
      [&] { return owner->property(rondel::window::kAccurateRipLookupProperty) != rondel::window::kLookupPending; }, timeout);
}

std::string writeCopyLog(HostSession& session, const qom::ui::Window& owner, const std::string& drive,
                         const DiscAccurateRip& disc, const std::vector<CopiedTrack>& tracks) {
  const bool anyFile = std::any_of(tracks.begin(), tracks.end(), [](const CopiedTrack& t) { return !t.file.empty(); });
  if (!anyFile) return "";
  std::string problem;
  const std::string path = writeRipLog(collectRipLog(session, owner, drive, disc, tracks), problem);
  if (path.empty()) std::cerr << "qomhost: no rip log: " << outNative(problem) << "\n";
  return path;
}

void attachChecks(const qom::ui::Window* owner, std::vector<RipTrack>& tracks) {
  for (RipTrack& t : tracks)
    t.check = owner != nullptr ? readTrackCheck(*owner, t.number) : TrackCheck{};
}

void finishCopyReport(HostSession& session, const qom::ui::Window* owner, const std::vector<RipTrack>& tracks,
                      const std::string& drive, bool json, const DiscAccurateRip& before) {
  std::vector<TrackCheck> checks;
  std::vector<CopiedTrack> copied;
  for (const RipTrack& t : tracks) {
    if (t.check && t.check->hasChecksums()) checks.push_back(*t.check);
    copied.push_back({t.number, t.title, t.status, t.file});
  }
  if (!json && !checks.empty()) std::cout << summaryLine(checks) << "\n";
  if (owner == nullptr) return;
  const std::string log = writeCopyLog(session, *owner, drive, latestDiscAccurateRip(*owner, before), copied);
  if (log.empty()) return;
  (json ? std::cerr : std::cout) << (json ? "qomhost: rip log " : "Log:    ") << outNative(log) << "\n";
}

}  // namespace qomhost
