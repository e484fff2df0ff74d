#include "host/disc_command.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "host/headless_window.h"
#include "host/text_list.h"
#include "platform/codepage.h"

namespace qomhost {
namespace {

constexpr int kExitUsage = 2;

std::string out(const std::string& cp1252) { return platform::cp1252ToUtf8(cp1252); }

std::vector<std::string> driveNames(HostSession& session) {
  const std::string feed = session.feedOfItem("Device");
  auto list = feed.empty() ? std::nullopt : session.host().feedList(feed);
  return list ? splitList(*list) : std::vector<std::string>();
}

bool allDigits(const std::string& s) {
  return !s.empty() && s.size() < 4 &&
         s.find_first_not_of("0123456789") == std::string::npos;
}

void printText(const ShownDisc& disc, const std::string& drive) {
  std::cout << "Drive:  " << out(drive) << "\n"
            << "Status: " << out(disc.status) << "\n"
            << "Artist: " << out(disc.artist) << "\n"
            << "Album:  " << out(disc.album) << "\n"
            << "Year:   " << out(disc.year) << "\n"
            << "Genre:  " << out(disc.genre) << "\n";
  if (!disc.discId.empty())
    std::cout << "Disc id: " << disc.discId << "\n"
              << "Query:  " << out(disc.queryUrl) << "\n";
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

void printJson(const ShownDisc& disc, const std::string& drive) {
  nlohmann::json tracks = nlohmann::json::array();
  for (const ShownTrack& t : disc.tracks)
    tracks.push_back({{"number", t.number},
                      {"artist", out(t.artist)},
                      {"title", out(t.title)},
                      {"length", out(t.length)},
                      {"status", out(t.status)}});
  nlohmann::json entries = nlohmann::json::array();
  for (const std::string& e : disc.entries) entries.push_back(out(e));
  nlohmann::json doc = {{"drive", out(drive)},   {"status", out(disc.status)},
                        {"artist", out(disc.artist)}, {"album", out(disc.album)},
                        {"year", out(disc.year)},     {"genre", out(disc.genre)},
                        {"tracks", tracks},          {"entries", entries},
                        {"entry", out(disc.entryShown)}, {"entryIndex", disc.entryIndex},
                        {"discId", out(disc.discId)},
                        {"queryUrl", out(disc.queryUrl)}};
  std::cout << doc.dump(2) << "\n";
}

}  // namespace

int chooseDrive(HostSession& session, const std::string& drive) {
  const std::vector<std::string> names = driveNames(session);
  int chosen = -1;
  if (allDigits(drive)) {
    const std::size_t index = std::stoul(drive);
    if (index < names.size()) chosen = static_cast<int>(index);
  } else {
    const auto it = std::find(names.begin(), names.end(), platform::utf8ToCp1252(drive));
    if (it != names.end()) chosen = static_cast<int>(it - names.begin());
  }
  if (chosen < 0) {
    std::cerr << "qomhost: no drive \"" << drive << "\"; the drives are:\n";
    for (std::size_t i = 0; i < names.size(); ++i) std::cerr << "  " << i << "\t" << out(names[i]) << "\n";
    if (names.empty()) std::cerr << "  (none)\n";
    return -1;
  }
  qom::ConfigItem* device = session.findItem("Device");
  return device != nullptr && device->setText(names[chosen].c_str()) ? chosen : -1;
}

bool driveInUse(HostSession& session, const ShownDisc& disc, int chosen, std::string& name) {
  const std::vector<std::string> names = driveNames(session);
  name.clear();
  if (disc.drive < 0 || static_cast<std::size_t>(disc.drive) >= names.size()) {
    if (chosen >= 0) std::cerr << "qomhost: the window has not asked drive " << chosen << " yet\n";
    return chosen < 0;
  }
  name = names[disc.drive];
  if (chosen >= 0 && chosen != disc.drive) {
    std::cerr << "qomhost: the window reads drive " << disc.drive << " (\"" << out(name)
              << "\"), not drive " << chosen << "\n";
    return false;
  }
  qom::ConfigItem* device = session.findItem("Device");
  const std::string setting = device != nullptr ? device->text() : "";
  if (setting != name)
    std::cerr << "qomhost: note: \"Device\" is \"" << out(setting)
              << "\", which names no drive; the window reads drive " << disc.drive << " (\""
              << out(name) << "\")\n";
  return true;
}

int discCommand(HostSession& session, const DiscOptions& options) {
  const int chosen = options.drive.empty() ? -1 : chooseDrive(session, options.drive);
  if (!options.drive.empty() && chosen < 0) return kExitUsage;
  if (driveNames(session).empty()) {
    std::cerr << "qomhost: no drives (see CDR_CONFIG in the README)\n";
    return 1;
  }
  HeadlessWindow window(session);
  if (!window.open()) {
    std::cerr << "qomhost: no component offers a window with a track list\n";
    return 1;
  }
  // "Ready" comes after the lookup too: it shows "Querying freedb..." until
  // it has offered its entries and applied the first.
  const bool settled = window.waitSettled(std::chrono::seconds(options.timeoutSeconds));
  if (settled && options.entry >= 0 && !window.pickEntry(options.entry)) {
    std::cerr << "qomhost: no entry " << options.entry << "; the disc has "
              << window.read().entries.size() << " (counted from 0)\n";
    return kExitUsage;
  }
  const ShownDisc disc = window.read();
  std::string drive;
  if (!driveInUse(session, disc, chosen, drive)) return 1;
  if (!settled) {
    std::cerr << "qomhost: the drive did not settle within " << options.timeoutSeconds
              << " s (status: \"" << out(disc.status) << "\")\n";
    return 1;
  }
  if (disc.status == kStatusCannotReadDisc) {
    std::cerr << "qomhost: " << kStatusCannotReadDisc << ": the drive's table of contents could not "
              << "be read (drive \"" << out(drive) << "\")\n";
    return 1;
  }
  if (options.json)
    printJson(disc, drive);
  else
    printText(disc, drive);
  return 0;
}

}  // namespace qomhost
