#include "host/commands/rip_progress.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "host/commands/command_options.h"
#include "host/commands/rip_verification.h"
#include "sdk/rondel_window.h"

namespace qomhost {
namespace {

std::string progressLine(const RipTrack& t) {
  char head[16];
  std::snprintf(head, sizeof head, "%2u  ", static_cast<unsigned>(t.number));
  std::string line = head + out(t.title) + "  ";
  unsigned percent = 0;
  const bool copied = t.status == rondel::window::kStatusCopied;
  if (copied || rondel::window::parseCopyingPercent(t.status, percent)) {
    if (copied) percent = 100;
    const unsigned filled = std::min(percent, 100u) / 5;
    line += "[" + std::string(filled, '#') + std::string(20 - filled, '.') + "] ";
  }
  return line + (t.status.empty() ? "waiting" : out(t.status));
}

}  // namespace

void RipProgress::show(const std::vector<RipTrack>& tracks, const std::vector<bool>& changed) {
  if (!terminal_) {
    for (std::size_t i = 0; i < tracks.size(); ++i)
      if (changed[i]) stream_ << progressLine(tracks[i]) << "\n";
    stream_.flush();
    return;
  }
  if (drawn_) stream_ << "\x1b[" << tracks.size() << "A";
  for (const RipTrack& t : tracks) stream_ << "\r\x1b[2K" << progressLine(t) << "\n";
  stream_.flush();
  drawn_ = true;
}

void printRipResults(const std::vector<RipTrack>& tracks, const std::string& drive, bool json) {
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const RipTrack& t : tracks) {
      list.push_back({{"number", t.number},
                      {"title", jsonText(t.title)},
                      {"status", jsonText(t.status)},
                      {"file", t.file}});
      if (t.check) addCheckJson(list.back(), *t.check);
    }
    std::cout << nlohmann::json{{"drive", jsonText(drive)}, {"tracks", list}}.dump(2) << "\n";
    return;
  }
  std::cout << "\n";
  for (const RipTrack& t : tracks) {
    char head[16];
    std::snprintf(head, sizeof head, "%2u  ", static_cast<unsigned>(t.number));
    std::cout << head << out(t.status.empty() ? std::string("Not started") : t.status);
    if (!t.file.empty()) std::cout << "  " << outNative(t.file);
    std::cout << "\n";
    if (t.check && t.check->hasChecksums()) std::cout << "      " << checkLine(*t.check) << "\n";
  }
}

}  // namespace qomhost
