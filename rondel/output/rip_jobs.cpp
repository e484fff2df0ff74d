#include "rondel/output/rip_jobs.h"

#include <vector>

#include "rondel/output/output_naming.h"
#include "rondel/shell/config_items.h"
#include "rondel/ui/main_window.h"
#include "sdk/folder_browser.h"
#include "sdk/rondel_window.h"
#include "sdk/host_api.h"
#include "sdk/service.h"

namespace rondel {
namespace {

constexpr const char* kBrowseTitle = "Select output folder.";

// The row's texts and the window's fields, read afresh for every row.
RipJobSource sourceOf(MainWindow& window, int row) {
  RipJobSource source;
  qom::ui::ListView& list = window.trackList();
  source.trackNumber = list.itemData(row);
  source.album = window.albumField().text();
  source.title = list.cell(row, kColumnTrack);
  source.year = window.yearField().text();
  source.artist = list.cell(row, kColumnArtist);
  source.genre = window.genreField().text();
  return source;
}

RipJobSettings currentSettings(MainWindow& window) {
  RipJobSettings settings;
  settings.resync = config().getInt(key::kResync) != 0;
  settings.format = config().getString(key::kFormat);
  const int drive = window.selectedDrive();
  settings.deviceIndex = drive >= 0 ? static_cast<std::uint32_t>(drive) : kNoRipDevice;
  return settings;
}

bool copyInProgress() {
  RipJobQueue& queue = ripJobQueue();
  std::lock_guard<std::mutex> lock(queue.mutex);
  return queue.copying;
}

// Builds one job per chosen row, queues them and starts the first. The
// jobs are built before the lock is taken (the models have their own
// locks); a copy that began meanwhile wins and these jobs are dropped.
void queueAndStart(MainWindow& window, const std::vector<int>& rows, const std::string& folder,
                   const std::string& pattern) {
  if (rows.empty()) return;
  const RipJobSettings settings = currentSettings(window);
  std::vector<RipJob> jobs;
  for (int row : rows) {
    jobs.push_back(buildRipJob(sourceOf(window, row), settings, window.discToc(), folder, pattern));
    // The command line reads which file a track got from here; a file of
    // an earlier copy is not this one's.
    window.setProperty(window::ripFileProperty(jobs.back().trackNumber), "");
    window.setProperty(window::ripStatusProperty(jobs.back().trackNumber), "");
  }
  {
    RipJobQueue& queue = ripJobQueue();
    std::lock_guard<std::mutex> lock(queue.mutex);
    if (queue.copying) return;
    for (RipJob& job : jobs) queue.jobs.push_back(std::move(job));
    queue.lastRipDevice = settings.deviceIndex;
    queue.copying = true;
    // A cancel that raced the end of the previous copy must not cancel
    // this one before it starts.
    window.cancelFlag().store(0);
  }
  window.copySelectedButton().setEnabled(false);
  window.copyAllButton().setEnabled(false);
  window.cancelButton().setEnabled(true);
  window.startNextRipJob();
}

}  // namespace

RipJobQueue& ripJobQueue() {
  static RipJobQueue queue;
  return queue;
}

std::optional<std::string> chooseOutputFolder(MainWindow&) {
  if (config().getInt(key::kUseOutputFolder) != 0) {
    // The folder buffer holds 260 characters: a longer value is cut there
    // (the path built from it is cut to 260 anyway).
    return limitPathLength(config().getString(key::kOutputFolder));
  }
  qom::HostApi* api = qom::hostApi();
  const qom::LentInstance browser(
      api != nullptr ? api->serviceFind(qom::kServiceFolderBrowser, qom::kFolderBrowserName) : nullptr);
  if (!browser) return std::nullopt;
  char folder[kMaxOutputPath + 1] = {};
  const int chosen = browser.as<qom::FolderBrowser>()->browse(kBrowseTitle, qom::kBrowseFileSystemOnly,
                                                             folder, sizeof folder);
  folder[kMaxOutputPath] = '\0';  // whatever the host wrote, the text ends in the buffer
  if (chosen == 0 || folder[0] == '\0') return std::nullopt;
  return std::string(folder);
}

void copySelected(MainWindow& window) {
  if (copyInProgress()) return;
  const std::optional<std::string> folder = chooseOutputFolder(window);
  if (!folder) return;
  qom::ui::ListView& list = window.trackList();
  const int rowCount = list.rowCount();
  // With no selection every row is ripped, else only the selected rows.
  const bool anySelected = list.selectedCount() > 0;
  std::vector<int> rows;
  for (int r = 0; r < rowCount; ++r)
    if (!anySelected || list.isSelected(r)) rows.push_back(r);
  queueAndStart(window, rows, *folder, config().getString(key::kOutputFilename1));
}

void copyAll(MainWindow& window) {
  if (copyInProgress()) return;
  const std::optional<std::string> folder = chooseOutputFolder(window);
  if (!folder) return;
  qom::ui::ListView& list = window.trackList();
  std::vector<int> rows;
  std::vector<std::string> artists;
  for (int r = 0; r < list.rowCount(); ++r) {
    rows.push_back(r);
    artists.push_back(list.cell(r, kColumnArtist));
  }
  const char* patternKey = allArtistsEqual(artists) ? key::kOutputFilename2 : key::kOutputFilename3;
  queueAndStart(window, rows, *folder, config().getString(patternKey));
}

void cancelCopying(MainWindow& window) { window.cancelFlag().store(1); }

}  // namespace rondel
