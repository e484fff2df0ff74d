#include "host/commands/rip_command.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include "host/commands/interrupts.h"
#include "host/commands/output_folder.h"
#include "host/commands/rip_progress.h"
#include "host/commands/track_list.h"
#include "host/commands/rip_verification.h"
#include "host/core/folder_browser_service.h"
#include "host/view/headless_window.h"
#include "platform/winpath.h"
#include "sdk/rondel_window.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"

namespace qomhost {
namespace {

namespace window = rondel::window;

// The folder browser answers with --output while the command runs; the
// handler goes when the command ends, whichever way.
class FolderAnswer {
 public:
  FolderAnswer(HostSession& session, const std::string& folder) : session_(session) {
    session_.host().folderBrowser().setHandler(
        [folder](const std::string&) -> std::optional<std::string> {
          if (folder.empty()) return std::nullopt;
          return folder;
        });
  }
  ~FolderAnswer() { session_.host().folderBrowser().setHandler(nullptr); }
  FolderAnswer(const FolderAnswer&) = delete;
  FolderAnswer& operator=(const FolderAnswer&) = delete;

 private:
  HostSession& session_;
};

// The window's track list and copy buttons.
struct CopyControls {
  qom::ui::ListView* list = nullptr;
  qom::ui::PushButton* copySelected = nullptr;
  qom::ui::PushButton* copyAll = nullptr;
  qom::ui::PushButton* cancel = nullptr;
  qom::ui::Window* owner = nullptr;  // the component's window, which keeps the properties
};

// Step 1, the folder: "Use Output Folder" on takes the configured one; else
// the folder browser is answered with --output. Answers the absolute
// --output folder ("" for none), or nothing after a usage message.
std::optional<std::string> chooseFolder(HostSession& session, const RipOptions& options) {
  qom::ConfigItem* useFolder = session.findItem("Use Output Folder");
  const bool configured = useFolder != nullptr && useFolder->text() == "1";
  if (configured) {
    if (!options.output.empty())
      std::cerr << "qomhost: note: \"Use Output Folder\" is on, so the files go below \"Output "
                   "Folder\" and --output is not used\n";
  } else {
    if (options.output.empty()) {
      std::cerr << "qomhost: give the folder for the files with --output DIR (or set \"Use Output "
                   "Folder\" to 1 and \"Output Folder\" with qomhost config set)\n";
      return std::nullopt;
    }
    const std::string windows = FolderBrowserService::windowsFolder(options.output);
    if (windows.empty() || windows.size() > platform::kMaxPath) {
      std::cerr << "qomhost: --output " << options.output
                << ": the component cannot name this folder (it must lie under a drive letter: / "
                   "is Z:\\, $HOME is C:\\, see QOM_DRIVE_MAP; names must fit Windows-1252 and the "
                   "path 260 characters)\n";
      return std::nullopt;
    }
  }
  std::error_code ignored;
  return options.output.empty() ? "" : std::filesystem::absolute(options.output, ignored).string();
}

// Before the first track: the folder the files go below can be made and
// written, so a copy does not fail track by track for one reason. False
// after a message naming the folder and the system's reason.
bool checkFolder(HostSession& session, const std::string& outputFolder) {
  std::string native = outputFolder;
  if (native.empty()) {
    qom::ConfigItem* configured = session.findItem("Output Folder");
    const std::string windows = configured != nullptr ? configured->text() : "";
    const std::optional<std::string> mapped = platform::toNativePath(windows);
    if (!mapped) {
      std::cerr << "qomhost: \"Output Folder\" (" << out(windows)
                << ") names no folder here; set it with qomhost config set \"Output Folder\" DIR\n";
      return false;
    }
    native = *mapped;
  }
  const std::string problem = folderWriteProblem(native);
  if (problem.empty()) return true;
  std::cerr << "qomhost: cannot write to the output folder " << outNative(native) << ": " << problem << "\n";
  return false;
}

// The terminal's width: what the terminal says, else $COLUMNS, else 80.
std::size_t terminalColumns(int fd) {
  struct winsize size {};
  if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  const char* columns = std::getenv("COLUMNS");
  const long fromEnvironment = columns != nullptr ? std::strtol(columns, nullptr, 10) : 0;
  return fromEnvironment > 0 && fromEnvironment <= 10000 ? static_cast<std::size_t>(fromEnvironment) : 80;
}

bool findControls(const HeadlessWindow& headless, CopyControls& controls) {
  controls.list = qom::ui::windowAs<qom::ui::ListView>(headless.control(window::kTrackList));
  controls.copySelected =
      qom::ui::windowAs<qom::ui::PushButton>(headless.control(window::kCopySelectedButton));
  controls.copyAll = qom::ui::windowAs<qom::ui::PushButton>(headless.control(window::kCopyAllButton));
  controls.cancel = qom::ui::windowAs<qom::ui::PushButton>(headless.control(window::kCancelButton));
  controls.owner = headless.componentWindow();
  return controls.list != nullptr && controls.copySelected != nullptr && controls.copyAll != nullptr &&
         controls.cancel != nullptr;
}

// Step 2, the tracks: the wanted ones (all for none), in list order. False
// after a message when the disc lacks one of them.
bool selectTracks(const ShownDisc& shown, const std::vector<std::uint32_t>& wanted,
                  std::vector<RipTrack>& tracks) {
  for (const ShownTrack& t : shown.tracks)
    if (wanted.empty() || std::find(wanted.begin(), wanted.end(), t.number) != wanted.end())
      tracks.push_back({t.number, t.title, "", "", ""});
  if (tracks.size() == (wanted.empty() ? shown.tracks.size() : wanted.size())) return true;
  std::cerr << "qomhost: the disc has no such track; its tracks are:";
  for (const ShownTrack& t : shown.tracks) std::cerr << " " << t.number;
  std::cerr << "\n";
  return false;
}

// The status cell of the track's row; when the row is gone (a disc pulled,
// an eject at the end that the poll already saw) the window's property
// keeps the last text.
std::string statusOf(const CopyControls& controls, std::uint32_t track) {
  qom::ui::ListView& list = *controls.list;
  for (int r = 0; r < list.rowCount(); ++r)
    if (list.itemData(r) == track) return list.cell(r, window::kColumnStatus);
  return controls.owner != nullptr ? controls.owner->property(window::ripStatusProperty(track)) : "";
}

// Clicks the copy-all button, or selects the wanted rows and clicks the
// copy-selected one. False after a message when the copy did not start.
bool startCopy(const CopyControls& controls, const std::vector<std::uint32_t>& wanted,
               const std::vector<RipTrack>& tracks) {
  qom::ui::PushButton* command = controls.copyAll;
  if (!wanted.empty()) {
    controls.list->clearSelection();
    for (int r = 0; r < controls.list->rowCount(); ++r)
      if (std::find(wanted.begin(), wanted.end(), controls.list->itemData(r)) != wanted.end())
        controls.list->setSelected(r, true);
    command = controls.copySelected;
  }
  if (!command->userClick()) {
    std::cerr << "qomhost: \"" << out(command->text()) << "\" is not available now\n";
    return false;
  }
  const bool anyStatus = std::any_of(tracks.begin(), tracks.end(), [&](const RipTrack& t) {
    return !statusOf(controls, t.number).empty();
  });
  if (!controls.cancel->enabled() && !anyStatus) {
    std::cerr << "qomhost: the copy did not start (no output folder was chosen)\n";
    return false;
  }
  return true;
}

// Step 3, the watch: runs the window until the copy has ended, showing each
// change of a track's status; a signal clicks the cancel button. Answers the
// number of signals seen.
int watchCopy(HeadlessWindow& headless, const CopyControls& controls, std::vector<RipTrack>& tracks,
              bool json) {
  std::ostream& progressStream = json ? std::cerr : std::cout;
  const int fd = json ? STDERR_FILENO : STDOUT_FILENO;
  RipProgress progress(progressStream, ::isatty(fd) != 0, [fd] { return terminalColumns(fd); });
  int interruptsSeen = 0;
  const auto step = [&] {
    if (interruptCount() != interruptsSeen) {
      interruptsSeen = interruptCount();
      std::cerr << (interruptsSeen == 1 ? "qomhost: cancelling; the current track stops at its next block\n"
                                        : "qomhost: still waiting for the rip to stop cleanly\n");
      controls.cancel->userClick();
    }
    std::vector<bool> changed(tracks.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      const std::string status = statusOf(controls, tracks[i].number);
      if (status != tracks[i].status) {
        tracks[i].status = status;
        changed[i] = any = true;
      }
    }
    if (any) progress.show(tracks, changed);
    return !controls.cancel->enabled();
  };
  // No bound on a whole rip: each job ends on its own (reads are retried a
  // bounded number of times), and Ctrl-C cancels.
  while (!headless.driver().runUntil(step, std::chrono::hours(1))) {
  }
  return interruptsSeen;
}

// Step 4, the report: every track's final status and file. Answers whether
// every track was copied.
bool reportCopy(const CopyControls& controls, std::vector<RipTrack>& tracks, const std::string& drive,
                bool json) {
  bool allCopied = true;
  for (RipTrack& t : tracks) {
    t.status = statusOf(controls, t.number);
    if (controls.owner != nullptr) {
      const std::string windowsFile = controls.owner->property(window::ripFileProperty(t.number));
      if (auto native = platform::toNativePath(windowsFile)) t.file = *native;
      t.error = controls.owner->property(window::ripErrorProperty(t.number));
    }
    allCopied = allCopied && t.status == window::kStatusCopied;
  }
  attachChecks(controls.owner, tracks);
  printRipResults(tracks, drive, json);
  return allCopied;
}

}  // namespace

int ripCommand(HostSession& session, const RipOptions& options) {
  std::vector<std::uint32_t> wanted;
  std::string badItem;
  if (options.tracksGiven && !parseTrackList(options.tracks, wanted, badItem)) {
    if (options.tracks.empty())
      std::cerr << "qomhost: --tracks is empty; give track numbers 1..99 and ranges, e.g. 1-3,5\n";
    else
      std::cerr << "qomhost: --tracks: \"" << outNative(badItem)
                << "\" is no track number 1..99 nor a range of them (e.g. 1-3,5)\n";
    return kExitUsage;
  }
  const int chosen = options.drive.empty() ? -1 : chooseDrive(session, options.drive);
  if (!options.drive.empty() && chosen < 0) return kExitUsage;
  const std::optional<std::string> folder = chooseFolder(session, options);
  if (!folder) return kExitUsage;
  if (!checkFolder(session, *folder)) return kExitFailed;
  FolderAnswer answer(session, *folder);

  HeadlessWindow headless(session);
  InterruptGuard interrupts;
  bool settled = false;
  if (auto exit = openDisc(headless, options, settled)) return *exit;
  if (interruptCount() > 0) {
    // Nothing was copied; under --json the tracks the disc lists, untouched.
    const ShownDisc known = headless.read();
    std::string drive;
    driveInUse(session, known, -1, drive);
    std::vector<RipTrack> listed;
    if (!known.tracks.empty()) selectTracks(known, wanted, listed);
    if (options.json) printRipResults(listed, drive, true);
    return kExitInterrupted;
  }
  CopyControls controls;
  if (!findControls(headless, controls)) {
    std::cerr << "qomhost: the window lacks the track list or the copy buttons\n";
    return kExitFailed;
  }
  const ShownDisc shown = headless.read();
  std::string drive;
  if (!driveInUse(session, shown, chosen, drive)) return kExitFailed;
  if (!options.json) std::cout << "Drive:  " << out(drive) << "\n";
  if (!settled || shown.status != window::kStatusReady || controls.list->rowCount() == 0) {
    std::cerr << "qomhost: no disc to rip (status: \"" << out(shown.status) << "\")\n";
    return kExitFailed;
  }
  std::vector<RipTrack> tracks;
  if (!selectTracks(shown, wanted, tracks)) return kExitUsage;

  const DiscAccurateRip disc = controls.owner ? readDiscAccurateRip(*controls.owner) : DiscAccurateRip{};
  if (!startCopy(controls, wanted, tracks)) return kExitFailed;
  const int interruptsSeen = watchCopy(headless, controls, tracks, options.json);
  if (interruptsSeen == 0) waitForVerdicts(headless, std::chrono::seconds(options.timeoutSeconds));
  const bool allCopied = reportCopy(controls, tracks, drive, options.json);
  finishCopyReport(session, controls.owner, tracks, drive, options.json, disc);
  if (interruptsSeen > 0) return kExitInterrupted;
  return allCopied ? kExitOk : kExitFailed;
}

}  // namespace qomhost
