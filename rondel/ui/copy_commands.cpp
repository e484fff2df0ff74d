// The window's side of copying: "Copy Selected" and "Copy All" turn rows
// into rip jobs for the rip session, and what the session reports becomes
// status cells, window properties and button states.
//
// Threads: the commands run on the window thread. trackStatus,
// trackFileWritten and trackFailureReason come from a rip worker's thread and write only through
// the models, which are safe from any thread; the button states are set on
// the window thread only.
#include <vector>

#include "rondel/output/job_builder.h"
#include "rondel/output/output_naming.h"
#include "rondel/ui/main_window.h"
#include "sdk/folder_browser.h"
#include "sdk/host_api.h"
#include "sdk/rondel_window.h"
#include "sdk/service.h"

namespace rondel {
namespace {

constexpr const char* kBrowseTitle = "Select output folder.";

}  // namespace

bool MainWindow::chooseOutputFolder(std::string& folder) {
  if (settings_.useOutputFolder()) {
    // The folder buffer holds 260 characters: a longer value is cut there
    // (the path built from it is cut to 260 anyway).
    folder = limitPathLength(settings_.outputFolder());
    return true;
  }
  qom::HostApi* api = qom::hostApi();
  const qom::LentInstance browser(
      api != nullptr ? api->serviceFind(qom::kServiceFolderBrowser, qom::kFolderBrowserName) : nullptr);
  if (!browser) return false;
  char chosen[kMaxOutputPath + 1] = {};
  const int answer = browser.as<qom::FolderBrowser>()->browse(kBrowseTitle, qom::kBrowseFileSystemOnly,
                                                              chosen, sizeof chosen);
  chosen[kMaxOutputPath] = '\0';  // whatever the host wrote, the text ends in the buffer
  if (answer == 0 || chosen[0] == '\0') return false;
  folder = chosen;
  return true;
}

void MainWindow::copySelected() {
  std::string folder;
  if (rip_.copying() || !chooseOutputFolder(folder)) return;
  const int rowCount = trackList_->rowCount();
  // With no selection every row is ripped, else only the selected rows.
  const bool anySelected = trackList_->selectedCount() > 0;
  std::vector<int> rows;
  for (int r = 0; r < rowCount; ++r)
    if (!anySelected || trackList_->isSelected(r)) rows.push_back(r);
  queueAndStart(rows, folder, settings_.outputFilename(1));
}

void MainWindow::copyAll() {
  std::string folder;
  if (rip_.copying() || !chooseOutputFolder(folder)) return;
  std::vector<int> rows;
  std::vector<std::string> artists;
  for (int r = 0; r < trackList_->rowCount(); ++r) {
    rows.push_back(r);
    artists.push_back(trackList_->cell(r, kColumnArtist));
  }
  queueAndStart(rows, folder, settings_.outputFilename(allArtistsEqual(artists) ? 2 : 3));
}

// One job per chosen row, built from the row's texts and the fields as they
// are now; the session refuses them when a copy began meanwhile.
void MainWindow::queueAndStart(const std::vector<int>& rows, const std::string& folder,
                               const std::string& pattern) {
  if (rows.empty() || !discPresent_.load()) return;
  RipJobSettings jobSettings;
  jobSettings.resync = settings_.resync();
  jobSettings.format = settings_.format();
  jobSettings.deviceIndex = static_cast<std::uint32_t>(lastPolledDrive_);
  std::vector<RipJob> jobs;
  for (int row : rows) {
    RipJobSource source;
    source.trackNumber = trackList_->itemData(row);
    source.album = albumField_->text();
    source.title = trackList_->cell(row, kColumnTrack);
    source.year = yearField_->text();
    source.artist = trackList_->cell(row, kColumnArtist);
    source.genre = genreField_->text();
    jobs.push_back(buildRipJob(source, jobSettings, toc_, folder, pattern));
  }
  // The command line reads which file a track got from here; a file of an
  // earlier copy is not this one's.
  for (const RipJob& job : jobs) {
    setProperty(window::ripFileProperty(job.trackNumber), "");
    setProperty(window::ripStatusProperty(job.trackNumber), "");
    setProperty(window::ripErrorProperty(job.trackNumber), "");
    clearTrackChecks(job.trackNumber);
  }
  // A queued row shows only what this copy reports: a job a cancel drops
  // leaves its row empty, never an earlier copy's "Copied".
  for (int row : rows) trackList_->setCell(row, kColumnStatus, "");
  if (!rip_.start(std::move(jobs))) return;
  updateCopyButtons();
}

void MainWindow::updateCopyButtons() {
  const bool copying = rip_.copying();
  const bool listed = discPresent_.load() != 0;
  copySelected_->setEnabled(listed && !copying);
  copyAll_->setEnabled(listed && !copying);
  cancel_->setEnabled(copying);
}

void MainWindow::trackStatus(std::uint32_t trackNumber, const std::string& text) {
  // The cell of the track's row, found afresh each time: the rows may have
  // been refilled since the job was queued. The property keeps the text
  // when the row is gone (a disc pulled, the list emptied).
  for (int row = 0; row < trackList_->rowCount(); ++row) {
    if (trackList_->itemData(row) == trackNumber) {
      trackList_->setCell(row, kColumnStatus, text);
      break;
    }
  }
  setProperty(window::ripStatusProperty(trackNumber), text);
}

void MainWindow::trackFileWritten(std::uint32_t trackNumber, const std::string& windowsPath) {
  setProperty(window::ripFileProperty(trackNumber), windowsPath);
}

void MainWindow::trackFailureReason(std::uint32_t trackNumber, const std::string& reason) {
  setProperty(window::ripErrorProperty(trackNumber), reason);
}

void MainWindow::copyEnded() {
  onWindowThread([this] { updateCopyButtons(); });
}

bool MainWindow::ejectWhenFinished() { return settings_.eject(); }

}  // namespace rondel
