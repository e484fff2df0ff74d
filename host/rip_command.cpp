#include "host/rip_command.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "host/disc_command.h"
#include "host/folder_browser_service.h"
#include "host/headless_window.h"
#include "platform/codepage.h"
#include "platform/winpath.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"

namespace qomhost {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;
constexpr const char* kCopied = "Copied";

std::string out(const std::string& cp1252) { return platform::cp1252ToUtf8(cp1252); }

// SIGINT and SIGTERM during the copy: the handler only counts; the window
// thread clicks "Cancel copying" and waits for the worker to end. A second
// signal does the same (nothing is killed mid-block); written by the
// handler, read by the window thread.
volatile sig_atomic_t g_interrupts = 0;
extern "C" void onInterrupt(int) { g_interrupts = g_interrupts + 1; }

class InterruptGuard {
 public:
  InterruptGuard() {
    g_interrupts = 0;
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &savedInt_);
    ::sigaction(SIGTERM, &action, &savedTerm_);
  }
  ~InterruptGuard() {
    ::sigaction(SIGINT, &savedInt_, nullptr);
    ::sigaction(SIGTERM, &savedTerm_, nullptr);
  }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction savedInt_ {}, savedTerm_ {};
};

// "1,3,5" -> {1, 3, 5}; false for anything that is not a list of numbers
// 1..99.
bool parseTracks(const std::string& text, std::vector<std::uint32_t>& numbers) {
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    if (item.empty() || item.size() > 2 || item.find_first_not_of("0123456789") != std::string::npos)
      return false;
    const std::uint32_t n = static_cast<std::uint32_t>(std::stoul(item));
    if (n < 1 || n > 99) return false;
    numbers.push_back(n);
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return !numbers.empty() && text.back() != ',';
}

// One track being copied as the command shows it.
struct Track {
  std::uint32_t number = 0;
  std::string title;   // Windows-1252
  std::string status;  // the latest status text
  std::string file;    // native path, once written
};

// The status cell of the track's row; when the row is gone (a disc pulled,
// an eject at the end that the poll already saw) the window's property
// keeps the last text.
std::string statusOf(qom::ui::ListView& list, qom::ui::Window* window, std::uint32_t track) {
  for (int r = 0; r < list.rowCount(); ++r)
    if (list.itemData(r) == track) return list.cell(r, 4);
  return window != nullptr ? window->property("rip.status." + std::to_string(track)) : "";
}

std::string progressLine(const Track& t) {
  char head[16];
  std::snprintf(head, sizeof head, "%2u  ", static_cast<unsigned>(t.number));
  std::string line = head + out(t.title) + "  ";
  unsigned percent = 0;
  if (std::sscanf(t.status.c_str(), "Copying %u%%", &percent) == 1 || t.status == kCopied) {
    if (t.status == kCopied) percent = 100;
    const unsigned filled = std::min(percent, 100u) / 5;
    line += "[" + std::string(filled, '#') + std::string(20 - filled, '.') + "] ";
  }
  return line + (t.status.empty() ? "waiting" : out(t.status));
}

// Draws the progress: redrawn in place on a terminal, one line per change
// otherwise. Goes to stderr with --json, so stdout holds only the JSON.
class Progress {
 public:
  Progress(std::ostream& stream, bool terminal) : stream_(stream), terminal_(terminal) {}
  void show(const std::vector<Track>& tracks, const std::vector<bool>& changed) {
    if (!terminal_) {
      for (std::size_t i = 0; i < tracks.size(); ++i)
        if (changed[i]) stream_ << progressLine(tracks[i]) << "\n";
      stream_.flush();
      return;
    }
    if (drawn_) stream_ << "\x1b[" << tracks.size() << "A";
    for (const Track& t : tracks) stream_ << "\r\x1b[2K" << progressLine(t) << "\n";
    stream_.flush();
    drawn_ = true;
  }

 private:
  std::ostream& stream_;
  const bool terminal_;
  bool drawn_ = false;
};

void printResults(const std::vector<Track>& tracks, const std::string& drive, bool json) {
  if (json) {
    nlohmann::json list = nlohmann::json::array();
    for (const Track& t : tracks)
      list.push_back({{"number", t.number},
                      {"title", out(t.title)},
                      {"status", out(t.status)},
                      {"file", t.file}});
    std::cout << nlohmann::json{{"drive", out(drive)}, {"tracks", list}}.dump(2) << "\n";
    return;
  }
  std::cout << "\n";
  for (const Track& t : tracks) {
    char head[16];
    std::snprintf(head, sizeof head, "%2u  ", static_cast<unsigned>(t.number));
    std::cout << head << out(t.status.empty() ? std::string("Not started") : t.status);
    if (!t.file.empty()) std::cout << "  " << t.file;
    std::cout << "\n";
  }
}

}  // namespace

int ripCommand(HostSession& session, const RipOptions& options) {
  std::vector<std::uint32_t> wanted;
  if (!options.tracks.empty() && !parseTracks(options.tracks, wanted)) {
    std::cerr << "qomhost: --tracks takes track numbers 1..99 separated by commas, e.g. 1,3,5\n";
    return kExitUsage;
  }
  const int chosen = options.drive.empty() ? -1 : chooseDrive(session, options.drive);
  if (!options.drive.empty() && chosen < 0) return kExitUsage;

  // The folder: "Use Output Folder" on takes the configured one; else the
  // folder browser is answered with --output.
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
      return kExitUsage;
    }
    const std::string windows = FolderBrowserService::windowsFolder(options.output);
    if (windows.empty() || windows.size() > platform::kMaxPath) {
      std::cerr << "qomhost: --output " << options.output
                << ": the component cannot name this folder (it must lie under a drive letter: / "
                   "is Z:\\, $HOME is C:\\, see QOM_DRIVE_MAP; names must fit Windows-1252 and the "
                   "path 260 characters)\n";
      return kExitUsage;
    }
  }
  std::error_code ignored;
  const std::string folder =
      options.output.empty() ? "" : std::filesystem::absolute(options.output, ignored).string();
  session.host().folderBrowser().setHandler(
      [folder](const std::string&) -> std::optional<std::string> {
        if (folder.empty()) return std::nullopt;
        return folder;
      });
  // The handler goes when the command ends, whichever way.
  struct HandlerReset {
    HostSession& session;
    ~HandlerReset() { session.host().folderBrowser().setHandler(nullptr); }
  } handlerReset{session};

  HeadlessWindow window(session);
  if (!window.open()) {
    std::cerr << "qomhost: no component offers a window with a track list\n";
    return kExitFailed;
  }
  const bool settled = window.waitSettled(std::chrono::seconds(options.timeoutSeconds));
  if (settled && options.entry >= 0 && !window.pickEntry(options.entry)) {
    std::cerr << "qomhost: no entry " << options.entry << "; the disc has "
              << window.read().entries.size() << " (counted from 0)\n";
    return kExitUsage;
  }
  auto* list = qom::ui::windowAs<qom::ui::ListView>(window.control("Tracks"));
  auto* copySelected = qom::ui::windowAs<qom::ui::PushButton>(window.control("Copy Selected"));
  auto* copyAll = qom::ui::windowAs<qom::ui::PushButton>(window.control("Copy All"));
  auto* cancel = qom::ui::windowAs<qom::ui::PushButton>(window.control("Cancel copying"));
  if (list == nullptr || copySelected == nullptr || copyAll == nullptr || cancel == nullptr) {
    std::cerr << "qomhost: the window lacks the track list or the copy buttons\n";
    return kExitFailed;
  }
  const ShownDisc shown = window.read();
  std::string drive;
  if (!driveInUse(session, shown, chosen, drive)) return kExitFailed;
  if (!options.json) std::cout << "Drive:  " << out(drive) << "\n";
  if (!settled || shown.status != "Ready" || list->rowCount() == 0) {
    std::cerr << "qomhost: no disc to rip (status: \"" << out(shown.status) << "\")\n";
    return kExitFailed;
  }

  // The tracks to copy, in list order.
  std::vector<Track> tracks;
  for (const ShownTrack& t : shown.tracks)
    if (wanted.empty() || std::find(wanted.begin(), wanted.end(), t.number) != wanted.end())
      tracks.push_back({t.number, t.title, "", ""});
  if (tracks.size() != (wanted.empty() ? shown.tracks.size() : wanted.size())) {
    std::cerr << "qomhost: the disc has no such track; its tracks are:";
    for (const ShownTrack& t : shown.tracks) std::cerr << " " << t.number;
    std::cerr << "\n";
    return kExitUsage;
  }

  InterruptGuard interrupts;
  qom::ui::PushButton* command = copyAll;
  if (!wanted.empty()) {
    list->clearSelection();
    for (int r = 0; r < list->rowCount(); ++r)
      if (std::find(wanted.begin(), wanted.end(), list->itemData(r)) != wanted.end())
        list->setSelected(r, true);
    command = copySelected;
  }
  if (!command->userClick()) {
    std::cerr << "qomhost: \"" << out(command->text()) << "\" is not available now\n";
    return kExitFailed;
  }
  qom::ui::Window* owner = window.componentWindow();
  const auto anyStatus = [&] {
    for (const Track& t : tracks)
      if (!statusOf(*list, owner, t.number).empty()) return true;
    return false;
  };
  if (!cancel->enabled() && !anyStatus()) {
    std::cerr << "qomhost: the copy did not start (no output folder was chosen)\n";
    return kExitFailed;
  }

  std::ostream& progressStream = options.json ? std::cerr : std::cout;
  Progress progress(progressStream, ::isatty(options.json ? STDERR_FILENO : STDOUT_FILENO) != 0);
  int interruptsSeen = 0;
  const auto step = [&] {
    if (g_interrupts != interruptsSeen) {
      interruptsSeen = g_interrupts;
      std::cerr << (interruptsSeen == 1 ? "qomhost: cancelling; the current track stops at its next block\n"
                                        : "qomhost: still waiting for the rip to stop cleanly\n");
      cancel->userClick();
    }
    std::vector<bool> changed(tracks.size(), false);
    bool any = false;
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      const std::string status = statusOf(*list, owner, tracks[i].number);
      if (status != tracks[i].status) {
        tracks[i].status = status;
        changed[i] = any = true;
      }
    }
    if (any) progress.show(tracks, changed);
    return !cancel->enabled();
  };
  // No bound on a whole rip: each job ends on its own (reads are retried a
  // bounded number of times), and Ctrl-C cancels.
  while (!window.driver().runUntil(step, std::chrono::hours(1))) {
  }

  bool allCopied = true;
  for (Track& t : tracks) {
    t.status = statusOf(*list, owner, t.number);
    if (owner != nullptr) {
      const std::string windowsFile = owner->property("rip.file." + std::to_string(t.number));
      if (auto native = platform::toNativePath(windowsFile)) t.file = *native;
    }
    allCopied = allCopied && t.status == kCopied;
  }
  printResults(tracks, drive, options.json);
  if (interruptsSeen > 0) return kExitInterrupted;
  return allCopied ? 0 : kExitFailed;
}

}  // namespace qomhost
