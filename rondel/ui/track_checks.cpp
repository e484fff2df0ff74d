// The window's side of the copy checks: the disc's AccurateRip identity
// when its table of contents is read, the AccurateRip lookup beside the
// freedb lookup, and each copied track's checksums and verdict.
//
// Threads: resetAccurateRip, startAccurateRipLookup and clearTrackChecks
// run on the window thread; trackChecked on a rip worker's thread; the
// lookup's end on its own thread. All of them meet under checksMutex_,
// which guards the lookup's state and the copied tracks' checksums, and
// write only window properties (safe from any thread).
#include <memory>
#include <system_error>

#include "rondel/metadata/accuraterip_lookup.h"
#include "rondel/rip/disc_checks.h"
#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

namespace w = window;

}  // namespace

std::string MainWindow::verdictTextLocked(const TrackChecks& checks) const {
  verify::Verdict verdict;  // not checked: off, pending, failed
  if (accurateRipLookup_ == w::kLookupNotFound) verdict.status = verify::Status::NotFound;
  if (accurateRipLookup_ == w::kLookupFound)
    verdict = verify::verdictFor(accurateRipResponses_, checks.audioIndex, checks.accurateRipV1,
                                 checks.accurateRipV2);
  return verify::verdictText(verdict);
}

void MainWindow::setAccurateRipLookupLocked(const std::string& state, const std::string& error,
                                            const std::string& file) {
  accurateRipLookup_ = state;
  setProperty(w::kAccurateRipLookupProperty, state);
  setProperty(w::kAccurateRipErrorProperty, error);
  setProperty(w::kAccurateRipFileProperty, file);
}

void MainWindow::resetAccurateRip(bool discShown) {
  std::lock_guard<std::mutex> lock(checksMutex_);
  accurateRipResponses_.clear();
  copiedChecks_.clear();
  accurateRipDisc_ = discShown ? accurateRipIdsOf(toc_) : verify::DiscIds{};
  const bool ids = discShown && accurateRipDisc_.audioTracks > 0;
  setProperty(w::kAccurateRipId1Property, ids ? verify::hex8(accurateRipDisc_.id1) : "");
  setProperty(w::kAccurateRipId2Property, ids ? verify::hex8(accurateRipDisc_.id2) : "");
  setProperty(w::kAccurateRipFreedbProperty, ids ? verify::hex8(accurateRipDisc_.freedb) : "");
  setProperty(w::kAccurateRipPathProperty, ids ? accurateRipDisc_.path() : "");
  // Off until a lookup starts for the disc (with "Use Freedb" on).
  setAccurateRipLookupLocked(discShown ? w::kLookupOff : "", "", "");
}

void MainWindow::startAccurateRipLookup() {
  const std::string base = accurateRipBaseUrl();
  const std::uint64_t generation = lookupGeneration_.load();
  auto start = std::make_unique<AccurateRipLookupStart>();
  {
    std::lock_guard<std::mutex> lock(checksMutex_);
    if (!settings_.useFreedb() || base.empty() || accurateRipDisc_.audioTracks == 0) return;
    start->url = base + accurateRipDisc_.path();
    start->disc = accurateRipDisc_;
    setAccurateRipLookupLocked(w::kLookupPending, "", "");
  }
  start->proxy = settings_.useProxy() ? settings_.proxyServer() : std::string();
  start->limits = FetchLimits::fromEnvironment();
  start->stopRequested = [this, generation] { return lookupStopRequested(generation); };
  start->ended = [this, generation](AccurateRipResult result) { accurateRipEnded(generation, std::move(result)); };
  try {
    auto job = std::make_shared<std::unique_ptr<AccurateRipLookupStart>>(std::move(start));
    lookups_.run([job] { accurateRipLookupThread(std::move(*job)); });
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> lock(checksMutex_);
    setAccurateRipLookupLocked(w::kLookupFailed, "no thread for the lookup", "");
  }
}

void MainWindow::accurateRipEnded(std::uint64_t generation, AccurateRipResult result) {
  std::lock_guard<std::mutex> lock(checksMutex_);
  // A newer disc (or none) since: what this lookup found is not its.
  if (!windowAlive() || lookupStopRequested(generation)) return;
  switch (result.outcome) {
    case AccurateRipResult::Outcome::Found:
      accurateRipResponses_ = std::move(result.responses);
      setAccurateRipLookupLocked(w::kLookupFound, "", verify::hexBytes(result.body));
      break;
    case AccurateRipResult::Outcome::NotFound:
      setAccurateRipLookupLocked(w::kLookupNotFound, "", "");
      break;
    case AccurateRipResult::Outcome::Failed:
      setAccurateRipLookupLocked(w::kLookupFailed, result.error, "");
      break;
  }
  // Tracks copied while the lookup ran get their verdict now.
  for (const auto& [track, checks] : copiedChecks_)
    setProperty(w::ripVerdictProperty(track), verdictTextLocked(checks));
}

void MainWindow::trackChecked(std::uint32_t trackNumber, const TrackChecks& checks) {
  std::lock_guard<std::mutex> lock(checksMutex_);
  copiedChecks_[trackNumber] = checks;
  setProperty(w::ripCrc32Property(trackNumber), verify::hex8(checks.crc32));
  setProperty(w::ripAccurateRipV1Property(trackNumber), verify::hex8(checks.accurateRipV1));
  setProperty(w::ripAccurateRipV2Property(trackNumber), verify::hex8(checks.accurateRipV2));
  setProperty(w::ripVerdictProperty(trackNumber), verdictTextLocked(checks));
}

void MainWindow::clearTrackChecks(std::uint32_t trackNumber) {
  std::lock_guard<std::mutex> lock(checksMutex_);
  copiedChecks_.erase(trackNumber);
  for (const std::string& name : {w::ripCrc32Property(trackNumber), w::ripAccurateRipV1Property(trackNumber),
                                  w::ripAccurateRipV2Property(trackNumber), w::ripVerdictProperty(trackNumber)})
    setProperty(name, "");
}

}  // namespace rondel
