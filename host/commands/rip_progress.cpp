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

// The status without its progress: every "Copying N%..." is one status.
std::string statusKind(const std::string& status) {
  unsigned percent = 0;
  return rondel::window::parseCopyingPercent(status, percent) ? std::string("Copying") : status;
}

bool continuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::string fitToColumns(const std::string& utf8, std::size_t columns) {
  if (columns == 0) return {};
  // One column a character: the texts are Windows-1252 at heart, which has
  // no wide or combining characters.
  std::size_t characters = 0, cut = std::string::npos;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (continuationByte(utf8[i])) continue;
    if (characters == columns - 1) cut = i;
    if (++characters > columns) return utf8.substr(0, cut) + "\u2026";
  }
  return utf8;
}

void RipProgress::show(const std::vector<RipTrack>& tracks, const std::vector<bool>& changed) {
  if (!terminal_) {
    // A log, not a screen: one line when a track's status changes, not at
    // every percent.
    kinds_.resize(tracks.size());
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      if (!changed[i]) continue;
      const std::string kind = statusKind(tracks[i].status);
      if (kind == kinds_[i]) continue;
      kinds_[i] = kind;
      stream_ << progressLine(tracks[i]) << "\n";
    }
    stream_.flush();
    return;
  }
  // Each line fits the terminal's width, so none wraps and moving up by the
  // number of tracks lands on the first line again.
  const std::size_t width = columns_ ? columns_() : 80;
  if (drawn_) stream_ << "\x1b[" << tracks.size() << "A";
  for (const RipTrack& t : tracks) stream_ << "\r\x1b[2K" << fitToColumns(progressLine(t), width) << "\n";
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
                      {"file", t.file},
                      {"error", t.error.empty() ? nlohmann::json() : nlohmann::json(t.error)}});
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
    if (!t.error.empty()) std::cout << "  " << outNative(t.error);
    std::cout << "\n";
    if (t.check && t.check->hasChecksums()) std::cout << "      " << checkLine(*t.check) << "\n";
  }
}

}  // namespace qomhost
