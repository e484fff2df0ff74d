#include "host/commands/disc_command.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>

#include "host/commands/interrupts.h"
#include "host/commands/rip_verification.h"
#include "sdk/rondel_window.h"

namespace qomhost {
namespace {

namespace window = rondel::window;

// What the window tells beside its controls: why the lookup failed, and
// each track's length in sectors (nothing for a track it gave none).
struct DiscExtras {
  std::string lookupError;  // Windows-1252; "" when none
  std::map<std::uint32_t, std::uint32_t> sectors;
};

DiscExtras readExtras(const HeadlessWindow& headless, const ShownDisc& disc) {
  DiscExtras extras;
  const qom::ui::Window* owner = headless.componentWindow();
  if (owner == nullptr) return extras;
  extras.lookupError = owner->property(window::kLookupErrorProperty);
  for (const ShownTrack& t : disc.tracks) {
    const std::string text = owner->property(window::trackSectorsProperty(t.number));
    if (!text.empty() && text.size() <= 9 && text.find_first_not_of("0123456789") == std::string::npos)
      extras.sectors[t.number] = static_cast<std::uint32_t>(std::stoul(text));
  }
  return extras;
}

void printText(const ShownDisc& disc, const DiscExtras& extras, const std::string& drive,
               const DiscAccurateRip& accurateRip) {
  std::cout << "Drive:  " << out(drive) << "\n"
            << "Status: " << out(disc.status) << "\n"
            << "Artist: " << out(disc.artist) << "\n"
            << "Album:  " << out(disc.album) << "\n"
            << "Year:   " << out(disc.year) << "\n"
            << "Genre:  " << out(disc.genre) << "\n";
  if (!disc.discId.empty())
    std::cout << "Disc id: " << out(disc.discId) << "\n"
              << "Query:  " << out(disc.queryUrl) << "\n";
  if (!extras.lookupError.empty()) std::cout << "Lookup failed: " << out(extras.lookupError) << "\n";
  if (const std::string line = discAccurateRipLine(accurateRip); !line.empty()) std::cout << line << "\n";
  for (std::size_t i = 0; i < disc.entries.size(); ++i)
    std::cout << (i == 0 ? "Entries:" : "        ") << " " << i << "  " << out(disc.entries[i])
              << (static_cast<int>(i) == disc.entryIndex ? "  (applied)" : "") << "\n";
  if (disc.entries.empty()) std::cout << "Entries: " << out(disc.entryShown) << "\n";
  if (disc.tracks.empty()) {
    std::cout << "No tracks listed.\n";
    return;
  }
  std::cout << "\n";
  for (const ShownTrack& t : disc.tracks) {
    char number[8];
    std::snprintf(number, sizeof number, "%2u", static_cast<unsigned>(t.number % 100));
    std::cout << number << "  " << out(t.length) << "  " << out(t.artist) << " - " << out(t.title)
              << "\n";
  }
}

void printJson(const ShownDisc& disc, const DiscExtras& extras, const std::string& drive,
               const DiscAccurateRip& accurateRip) {
  nlohmann::json tracks = nlohmann::json::array();
  for (const ShownTrack& t : disc.tracks) {
    nlohmann::json track = {{"number", t.number},
                            {"artist", jsonText(t.artist)},
                            {"title", jsonText(t.title)},
                            {"length", jsonText(t.length)},
                            {"status", jsonText(t.status)}};
    const auto sectors = extras.sectors.find(t.number);
    track["sectors"] = sectors != extras.sectors.end() ? nlohmann::json(sectors->second) : nlohmann::json();
    track["seconds"] = sectors != extras.sectors.end() ? nlohmann::json(sectors->second / 75.0) : nlohmann::json();
    tracks.push_back(std::move(track));
  }
  nlohmann::json entries = nlohmann::json::array();
  for (const std::string& e : disc.entries) entries.push_back(jsonText(e));
  nlohmann::json doc = {{"drive", jsonText(drive)},   {"status", jsonText(disc.status)},
                        {"artist", jsonText(disc.artist)}, {"album", jsonText(disc.album)},
                        {"year", jsonText(disc.year)},     {"genre", jsonText(disc.genre)},
                        {"tracks", tracks},          {"entries", entries},
                        {"entry", jsonText(disc.entryShown)}, {"entryIndex", disc.entryIndex},
                        {"discId", jsonText(disc.discId)},
                        {"queryUrl", jsonText(disc.queryUrl)},
                        {"accuraterip", discAccurateRipJson(accurateRip)}};
  doc["lookup_error"] =
      extras.lookupError.empty() ? nlohmann::json() : nlohmann::json(jsonText(extras.lookupError));
  std::cout << doc.dump(2) << "\n";
}

}  // namespace

int discCommand(HostSession& session, const DiscOptions& options) {
  const int chosen = options.drive.empty() ? -1 : chooseDrive(session, options.drive);
  if (!options.drive.empty() && chosen < 0) return kExitUsage;
  if (driveNames(session).empty()) {
    std::cerr << "qomhost: no drives (see CDR_CONFIG in the README)\n";
    return kExitFailed;
  }
  HeadlessWindow headless(session);
  InterruptGuard interrupts;
  bool settled = false;
  if (auto exit = openDisc(headless, options, settled)) return *exit;
  const ShownDisc disc = headless.read();
  const DiscExtras extras = readExtras(headless, disc);
  const DiscAccurateRip accurateRip =
      headless.componentWindow() ? readDiscAccurateRip(*headless.componentWindow()) : DiscAccurateRip{};
  std::string drive;
  if (interruptCount() > 0) {
    // What is known so far, as asked for.
    driveInUse(session, disc, -1, drive);
    if (options.json)
      printJson(disc, extras, drive, accurateRip);
    else
      printText(disc, extras, drive, accurateRip);
    return kExitInterrupted;
  }
  if (!driveInUse(session, disc, chosen, drive)) return kExitFailed;
  if (!settled) {
    std::cerr << "qomhost: the drive did not settle within " << options.timeoutSeconds
              << " s (status: \"" << out(disc.status) << "\")\n";
    return kExitFailed;
  }
  if (disc.status == window::kStatusCannotReadDisc) {
    std::cerr << "qomhost: " << window::kStatusCannotReadDisc
              << ": the drive's table of contents could not be read (drive \"" << out(drive)
              << "\")\n";
    return kExitFailed;
  }
  if (disc.status == window::kStatusNoDisc) {
    std::cerr << "qomhost: " << window::kStatusNoDisc << " in drive \"" << out(drive) << "\"\n";
    return kExitFailed;
  }
  if (options.json)
    printJson(disc, extras, drive, accurateRip);
  else
    printText(disc, extras, drive, accurateRip);
  return kExitOk;
}

}  // namespace qomhost
