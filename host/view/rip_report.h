#pragma once
// What a component window tells of a copy once it has ended, read through
// the window's properties: each track's checks, the disc's AccurateRip
// identity and lookup, and the rip log built from them with the session's
// settings. Shared by `qomhost rip` and the desktop. Window thread.
#include <cstdint>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "host/core/rip_log.h"
#include "host/core/track_check.h"
#include "sdk/ui/window.h"

namespace qomhost {

// The disc's AccurateRip identity as the window publishes it (ids as 8 hex
// digits, "" without a disc; the lookup's state and the database file as
// hex).
struct DiscAccurateRip {
  std::string id1, id2, freedb, path;
  std::string lookup, error, fileHex;
};

TrackCheck readTrackCheck(const qom::ui::Window& owner, std::uint32_t track);
DiscAccurateRip readDiscAccurateRip(const qom::ui::Window& owner);
// What the window shows now, or `before` when it shows no disc any more (a
// copy with "Eject" on ends with the disc out and its ids gone).
DiscAccurateRip latestDiscAccurateRip(const qom::ui::Window& owner, const DiscAccurateRip& before);

// One track of a copy: its number, title (Windows-1252, as the list shows
// it), final status text and native file path.
struct CopiedTrack {
  std::uint32_t number = 0;
  std::string title, status, file;
};

// The rip log of a copy of `disc` from `owner`'s drive `drive`
// (Windows-1252): the drive asked who it is, "Resync" and "Format" from the
// session, each copied track's checks from the window.
RipLog collectRipLog(HostSession& session, const qom::ui::Window& owner, const std::string& drive,
                     const DiscAccurateRip& disc, const std::vector<CopiedTrack>& tracks);

}  // namespace qomhost
