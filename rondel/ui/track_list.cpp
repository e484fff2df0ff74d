// Listing a read disc: default disc fields, one row per audio track, the
// first row selected, then the lookup.
#include <cstdio>

#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

constexpr const char* kUnknownArtist = "Unknown Artist";
constexpr const char* kUnknownAlbum = "Unknown Album";

// The numbers come from the drive library: formatted unsigned and into a
// bounded buffer, whatever their size.
std::string format(const char* pattern, unsigned a, unsigned b = 0) {
  char text[32];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

}  // namespace

void MainWindow::fillTrackList() {
  artistField_->setText(kUnknownArtist);
  albumField_->setText(kUnknownAlbum);
  yearField_->setText("");
  genreField_->setText("");
  trackField_->setText("");

  // The record was checked when read: first..last lies within 1..99, so
  // every index is inside the 100 entries.
  for (std::uint32_t t = toc_.firstTrack; t <= toc_.lastTrack && t <= kCdMaxTracks; ++t) {
    const CdTocEntry& entry = toc_.entries[t];
    if ((entry.control & kCdControlData) != 0) continue;
    const int row = trackList_->addRow(format("%02u.", t), t);
    trackList_->setCell(row, kColumnArtist, kUnknownArtist);
    trackList_->setCell(row, kColumnTrack, format("Track %02u", t));
    trackList_->setCell(row, kColumnLength, format("%u:%02u", entry.lengthMinute, entry.lengthSecond));
    setProperty(window::trackSectorsProperty(t), std::to_string(entry.lengthSectors));
  }
  if (trackList_->rowCount() > 0) {
    trackList_->selectOnly(0);
    trackList_->setFocusedRow(0);
    trackList_->ensureVisible(0);
  }
  startLookup();
}

}  // namespace rondel
