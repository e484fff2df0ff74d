#include "drivers/cdr/cdio_support.h"

#include <cdio/logging.h>

#include "drivers/cdr/warn.h"

namespace cdr {
namespace {

void logHandler(cdio_log_level_t level, const char message[]) {
  if (level < CDIO_LOG_ERROR || message == nullptr) return;
  warnLine(std::string("libcdio: ") + message);
}

// Puts the handler that was there before back when the library unloads, so
// libcdio (which may stay loaded) never calls into unmapped code.
struct HandlerGuard {
  cdio_log_handler_t previous = nullptr;
  bool installed = false;
  ~HandlerGuard() {
    if (installed) cdio_log_set_handler(previous);
  }
};

HandlerGuard& handlerGuard() {
  static HandlerGuard guard;
  return guard;
}

}  // namespace

// At namespace scope, constant-initialised when the library loads: it is
// destroyed after the registry, whose drives close their handles under it
// while static objects are destroyed at exit or unload.
static std::mutex gCdioMutex;

std::mutex& cdioMutex() { return gCdioMutex; }

void initCdio() {
  static std::once_flag once;
  std::call_once(once, [] {
    HandlerGuard& guard = handlerGuard();
    std::lock_guard<std::mutex> lock(cdioMutex());
    cdio_init();
    guard.previous = cdio_log_set_handler(&logHandler);
    guard.installed = true;
  });
}

void CdioCloser::operator()(CdIo_t* cdio) const {
  std::lock_guard<std::mutex> lock(cdioMutex());
  cdio_destroy(cdio);
}

std::string readLayout(const CdIo_t* cdio, std::uint32_t& firstTrack,
                       std::vector<TrackLayout>& tracks) {
  tracks.clear();
  const track_t first = cdio_get_first_track_num(cdio);
  const track_t count = cdio_get_num_tracks(cdio);
  if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK)
    return "no readable table of contents";
  if (count == 0) return "no tracks";
  if (first < 1 || first > kCdMaxTracks || count > kCdMaxTracks - first + 1)
    return "tracks " + std::to_string(first) + " to " + std::to_string(first + count - 1) +
           " are outside 1..99";

  std::vector<ReportedTrack> reported;
  for (int t = first; t < first + count; ++t) {
    const auto number = static_cast<track_t>(t);
    const lsn_t start = cdio_get_track_lsn(cdio, number);
    const track_format_t format = cdio_get_track_format(cdio, number);
    if (start == CDIO_INVALID_LSN || format == TRACK_FORMAT_ERROR)
      return "track " + std::to_string(t) + " cannot be read from the table of contents";
    reported.push_back({start, format != TRACK_FORMAT_AUDIO});
  }
  const lsn_t leadOut = cdio_get_track_lsn(cdio, CDIO_CDROM_LEADOUT_TRACK);
  if (leadOut == CDIO_INVALID_LSN) return "no lead-out in the table of contents";

  firstTrack = first;
  return layoutFromReport(first, reported, leadOut, tracks);
}

}  // namespace cdr
