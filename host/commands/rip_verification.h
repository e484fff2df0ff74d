#pragma once
// What `qomhost rip` and `qomhost disc` show of the verification: a
// copied track's CRC and AccurateRip verdict, the copy's summary, the
// disc's AccurateRip identity, as text and as JSON; and the rip log the
// rip command writes beside the files. Window thread.
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/core/host_session.h"
#include "host/core/track_check.h"
#include "host/view/headless_window.h"
#include "host/view/rip_report.h"

namespace qomhost {

// "CRC 1a2b3c4d  AccurateRip v1 0badc0de v2 12345678: accurate (confidence
// 12 of 14, v2)"; "" for a track without checksums.
std::string checkLine(const TrackCheck& check);

// Adds "crc32", "accuraterip_v1", "accuraterip_v2" (null when absent) and
// "accuraterip": {"status", "confidence", "total"} to a track's object.
void addCheckJson(nlohmann::json& track, const TrackCheck& check);

// "AccurateRip: All 3 tracks accurate" over the tracks that have checks.
std::string summaryLine(const std::vector<TrackCheck>& checks);

// {"id1", "id2", "freedb", "path"} of the disc (strings, "" without a disc)
// plus "lookup".
nlohmann::json discAccurateRipJson(const DiscAccurateRip& disc);
// "AccurateRip: 0001b2c3 00a1b2c3 a70d4a0c (3/c/b/dBAR-...bin)", or "" with
// no ids.
std::string discAccurateRipLine(const DiscAccurateRip& disc);

// Runs the window until the AccurateRip lookup is no longer pending (so
// the verdicts are final), at most `timeout`.
void waitForVerdicts(HeadlessWindow& window, std::chrono::milliseconds timeout);

// Writes the rip log of the copy beside its files. Answers the log's path,
// or "" after a note on stderr (nothing copied, or it could not be written).
std::string writeCopyLog(HostSession& session, const qom::ui::Window& owner, const std::string& drive,
                         const DiscAccurateRip& disc, const std::vector<CopiedTrack>& tracks);

// The rip command's part: each track's checks read from the window before
// the report, and after it the summary line (text) and the rip log.
// `before`: the disc's identity as the copy began.
struct RipTrack;
void attachChecks(const qom::ui::Window* owner, std::vector<RipTrack>& tracks);
void finishCopyReport(HostSession& session, const qom::ui::Window* owner, const std::vector<RipTrack>& tracks,
                      const std::string& drive, bool json, const DiscAccurateRip& before);

}  // namespace qomhost
