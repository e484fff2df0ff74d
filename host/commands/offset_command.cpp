#include "host/commands/offset_command.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <optional>

#include "drivers/cdr/offsets_file.h"
#include "host/commands/cdr_drive.h"
#include "host/commands/offset_search.h"
#include "host/core/drive_identity.h"
#include "host/view/headless_window.h"
#include "host/view/rip_report.h"
#include "sdk/rondel_window.h"

namespace qomhost {
namespace {

namespace window = rondel::window;

std::string signedText(std::int32_t n) { return (n > 0 ? "+" : "") + std::to_string(n); }

// What the window learnt of the disc before it closed.
struct ReadDisc {
  std::string drive;  // Windows-1252 display name
  DiscAccurateRip accurateRip;
};

// Step 1: the window reads the disc and its database file. Answers the
// exit code to end with, or nothing to go on.
std::optional<int> readDisc(HostSession& session, const OffsetOptions& options, int chosen, ReadDisc& disc) {
  HeadlessWindow headless(session);
  DriveOptions driveOptions;
  driveOptions.timeoutSeconds = options.timeoutSeconds;
  bool settled = false;
  if (auto exit = openDisc(headless, driveOptions, settled)) return exit;
  const ShownDisc shown = headless.read();
  if (!driveInUse(session, shown, chosen, disc.drive)) return kExitFailed;
  std::cout << "Drive:  " << out(disc.drive) << "\n";
  if (!settled || shown.status != window::kStatusReady) {
    std::cerr << "qomhost: no disc to measure with (status: \"" << out(shown.status) << "\")\n";
    return kExitFailed;
  }
  const qom::ui::Window* owner = headless.componentWindow();
  if (owner == nullptr) return kExitFailed;
  headless.driver().runUntil([&] { return owner->property(window::kAccurateRipLookupProperty) != window::kLookupPending; },
                             std::chrono::seconds(options.timeoutSeconds));
  disc.accurateRip = readDiscAccurateRip(*owner);
  const DiscAccurateRip& ar = disc.accurateRip;
  if (ar.lookup == window::kLookupFound) return std::nullopt;
  if (ar.lookup == window::kLookupNotFound) {
    std::cerr << "qomhost: this disc is not in the AccurateRip database (" << out(ar.path)
              << "); measure with a disc that is\n";
  } else if (ar.lookup == window::kLookupOff || ar.lookup.empty()) {
    std::cerr << "qomhost: the AccurateRip lookup is off; it runs with \"Use Freedb\" on (qomhost config set "
                 "\"Use Freedb\" 1) and RONDEL_ACCURATERIP_URL not set to \"\"\n";
  } else if (ar.lookup == window::kLookupPending) {
    std::cerr << "qomhost: the AccurateRip lookup did not finish within " << options.timeoutSeconds << " s\n";
  } else {
    std::cerr << "qomhost: the AccurateRip lookup failed: " << out(ar.error) << "\n";
  }
  return kExitFailed;
}

// Progress on stderr: in place on a terminal, one line per step otherwise.
class ProgressLine {
 public:
  ProgressLine() : terminal_(::isatty(STDERR_FILENO) != 0) {}
  ~ProgressLine() {
    if (terminal_ && drawn_) std::cerr << "\n";
  }
  void show(const std::string& what, unsigned percent) {
    if (what == last_) return;
    last_ = what;
    std::cerr << (terminal_ ? "\r\x1b[2K" : "") << "Searching: " << percent << "%  " << what
              << (terminal_ ? "" : "\n") << std::flush;
    drawn_ = true;
  }

 private:
  const bool terminal_;
  bool drawn_ = false;
  std::string last_;
};

int save(const ReadDisc& disc, std::int32_t found) {
  const DriveIdentity identity = identifyDrive(disc.drive);
  const std::string key = identity.vendorModel();
  if (key.empty()) {
    std::cerr << "qomhost: --save: this drive has no vendor and model (it is not a drive device), so the "
                 "offsets file cannot name it; give a simulated or device entry its \"offset\" in CDR_CONFIG\n";
    return kExitFailed;
  }
  if (!identity.offsetProblem.empty()) {
    std::cerr << "qomhost: --save: the offsets file " << identity.offsetProblem << "; not changed\n";
    return kExitFailed;
  }
  const std::int32_t correction = identity.offset.value_or(0) + found;
  if (correction < -cdr::kMaxReadOffset || correction > cdr::kMaxReadOffset) {
    std::cerr << "qomhost: --save: " << signedText(correction) << " is beyond what cdr.dll applies ("
              << cdr::kMaxReadOffset << " samples either way)\n";
    return kExitFailed;
  }
  const std::string path = cdr::offsetsFilePath();
  if (const std::string problem = cdr::saveOffset(path, key, correction); !problem.empty()) {
    std::cerr << "qomhost: --save: " << outNative(problem) << "\n";
    return kExitFailed;
  }
  std::cout << "Saved:  \"" << outNative(key) << "\": " << correction << " in " << outNative(path)
            << "; later rips from this drive use it\n";
  return kExitOk;
}

}  // namespace

int offsetFind(HostSession& session, const OffsetOptions& options) {
  const int chosen = options.drive.empty() ? -1 : chooseDrive(session, options.drive);
  if (!options.drive.empty() && chosen < 0) return kExitUsage;
  if (driveNames(session).empty()) {
    std::cerr << "qomhost: no drives (see CDR_CONFIG in the README)\n";
    return kExitFailed;
  }
  ReadDisc disc;
  if (auto exit = readDisc(session, options, chosen, disc)) return *exit;

  // Step 2: the window is closed; the host reads the drive itself.
  std::string problem;
  std::unique_ptr<CdrDrive> drive = CdrDrive::open(HostSession::executableFolder() + "/cdr.dll", disc.drive, problem);
  std::vector<verify::TocEntry> toc;
  std::uint32_t leadOut = 0;
  if (drive == nullptr || !drive->readToc(toc, leadOut, problem)) {
    std::cerr << "qomhost: " << outNative(problem) << "\n";
    return kExitFailed;
  }
  const verify::DiscIds ids = verify::discIds(toc, leadOut);
  const DiscAccurateRip& ar = disc.accurateRip;
  if (verify::hex8(ids.id1) != ar.id1 || verify::hex8(ids.id2) != ar.id2 || verify::hex8(ids.freedb) != ar.freedb) {
    std::cerr << "qomhost: the disc in the drive is no longer the one the window read\n";
    return kExitFailed;
  }
  std::vector<verify::Response> responses;
  std::string body;
  if (!verify::parseHexBytes(ar.fileHex, body) || !verify::parseDatabaseFile(body, ids, responses, &problem) ||
      responses.empty()) {
    std::cerr << "qomhost: the AccurateRip file the component published is not usable"
              << (problem.empty() ? "" : ": " + problem) << "\n";
    return kExitFailed;
  }
  const std::vector<SearchTrack> tracks = searchTracks(toc, leadOut);
  OffsetSearch result;
  {
    ProgressLine progress;
    result = findReadOffset(*drive, tracks, leadOut, responses, kOffsetSearchRange,
                            [&](const std::string& what, unsigned percent) { progress.show(what, percent); });
  }
  switch (result.outcome) {
    case OffsetSearch::Outcome::ReadFailed:
      std::cerr << "qomhost: " << result.problem << "\n";
      return kExitFailed;
    case OffsetSearch::Outcome::NothingMatched:
      std::cerr << "qomhost: no read offset from -" << kOffsetSearchRange << " to +" << kOffsetSearchRange
                << " samples matches the AccurateRip database on two tracks of this disc (another pressing, "
                   "or a damaged disc); try another disc\n";
      return kExitFailed;
    case OffsetSearch::Outcome::EdgeUnreadable:
      std::cerr << "qomhost: the offset " << signedText(result.offset)
                << " matches sector 450, but confirming it needs samples "
                << (result.offset < 0 ? "before the disc's first sector (the lead-in)"
                                      : "past the disc's end (the lead-out)")
                << ", which this drive cannot read; try a disc with more tracks\n";
      return kExitFailed;
    case OffsetSearch::Outcome::Found:
      break;
  }
  const DriveIdentity identity = identifyDrive(disc.drive);
  const std::int32_t current = identity.offset.value_or(0);
  std::cout << "Read offset: " << signedText(current + result.offset) << " samples";
  if (current != 0) std::cout << " (" << signedText(result.offset) << " on top of the " << signedText(current) << " set)";
  std::cout << "\n";
  for (const TrackMatch& m : result.matches)
    std::cout << "  track " << m.number << ": accurate (confidence " << m.confidence << " of " << m.total
              << (m.v2 ? ", v2)" : ", v1)") << "\n";
  if (!options.save) {
    if (result.offset != 0) std::cout << "Save it with: qomhost offset find --save\n";
    return kExitOk;
  }
  return save(disc, result.offset);
}

}  // namespace qomhost
