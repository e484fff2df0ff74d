// Commands of the window that reach outside it: the host's preferences and
// the database entry the user picks.
#include <cstring>

#include "rondel/drive/cd_drive.h"
#include "rondel/metadata/disc_id.h"
#include "rondel/metadata/entry_fields.h"
#include "rondel/ui/main_window.h"
#include "sdk/host_api.h"
#include "sdk/service.h"

namespace rondel {

void MainWindow::openPreferences() {
  qom::HostApi* api = qom::hostApi();
  if (api == nullptr) return;
  const qom::LentInstance action(api->serviceFind(qom::kServiceAction, "Preferences:OPEN"));
  if (!action) return;
  // The page to open is the component's top page.
  const std::string guid = settings_.preferencesPage();
  action.as<qom::ActionService>()->run("Preferences:OPEN", guid.c_str());
}

void MainWindow::applyEntry(int id) {
  // The drop-down already shows the chosen item's caption.
  FreedbEntry entry;
  {
    std::lock_guard<std::mutex> lock(entriesMutex_);
    auto found = entriesMap_.find(id);
    if (found != entriesMap_.end()) entry = found->second;
  }
  // An unknown id gives the empty record, whose table of contents equals no
  // disc's; an entry fetched for an earlier disc is never applied either.
  if (discPresent_.load() == 0 || !sameToc(entry.toc, toc_)) return;

  const std::string artist = parseArtist(entry.text);
  if (!artist.empty()) artistField_->setText(artist);
  const std::string album = parseAlbum(entry.text);
  if (!album.empty()) albumField_->setText(album);
  // freedb numbers the titles by disc track (data tracks included); the
  // rows hold the audio tracks only.
  const TocTrackRange tracks = tocTracks(toc_);
  int row = 0, index = 0;
  for (std::uint32_t t = tracks.first; t <= tracks.last; ++t, ++index) {
    if ((toc_.entries[t].control & kCdControlData) != 0) continue;
    trackList_->setCell(row, kColumnTrack, parseTrackTitle(entry.text, index));
    trackList_->setCell(row, kColumnArtist, artist);
    ++row;
  }
  yearField_->setText(parseYear(entry.text));
  genreField_->setText(parseGenre(entry.text));
  loadFieldsFromSelection();
}

}  // namespace rondel
