#include "host/commands/disc_command.h"

#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "host/commands/rip_verification.h"
#include "sdk/rondel_window.h"

namespace qomhost {
namespace {

void printText(const ShownDisc& disc, const std::string& drive, const DiscAccurateRip& accurateRip) {
  std::cout << "Drive:  " << out(drive) << "\n"
            << "Status: " << out(disc.status) << "\n"
            << "Artist: " << out(disc.artist) << "\n"
            << "Album:  " << out(disc.album) << "\n"
            << "Year:   " << out(disc.year) << "\n"
            << "Genre:  " << out(disc.genre) << "\n";
  if (!disc.discId.empty())
    std::cout << "Disc id: " << out(disc.discId) << "\n"
              << "Query:  " << out(disc.queryUrl) << "\n";
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

void printJson(const ShownDisc& disc, const std::string& drive, const DiscAccurateRip& accurateRip) {
  nlohmann::json tracks = nlohmann::json::array();
  for (const ShownTrack& t : disc.tracks)
    tracks.push_back({{"number", t.number},
                      {"artist", jsonText(t.artist)},
                      {"title", jsonText(t.title)},
                      {"length", jsonText(t.length)},
                      {"status", jsonText(t.status)}});
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
  HeadlessWindow window(session);
  bool settled = false;
  if (auto exit = openDisc(window, options, settled)) return *exit;
  const ShownDisc disc = window.read();
  std::string drive;
  if (!driveInUse(session, disc, chosen, drive)) return kExitFailed;
  if (!settled) {
    std::cerr << "qomhost: the drive did not settle within " << options.timeoutSeconds
              << " s (status: \"" << out(disc.status) << "\")\n";
    return kExitFailed;
  }
  if (disc.status == rondel::window::kStatusCannotReadDisc) {
    std::cerr << "qomhost: " << rondel::window::kStatusCannotReadDisc
              << ": the drive's table of contents could not be read (drive \"" << out(drive)
              << "\")\n";
    return kExitFailed;
  }
  const DiscAccurateRip accurateRip =
      window.componentWindow() ? readDiscAccurateRip(*window.componentWindow()) : DiscAccurateRip{};
  if (options.json)
    printJson(disc, drive, accurateRip);
  else
    printText(disc, drive, accurateRip);
  return kExitOk;
}

}  // namespace qomhost
