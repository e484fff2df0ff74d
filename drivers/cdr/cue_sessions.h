#pragma once
// Sessions in a CUE sheet. libcdio's CUE reader knows none, so an Enhanced
// CD's image (audio, then a data track in a second session) reads as one
// session whose last audio track runs on through the gap between the two.
// Sheets mark sessions with `REM SESSION nn` lines before the tracks of each.
#include <string_view>

namespace cdr {

// The number of the first TRACK after the last `REM SESSION nn` line with nn
// of 2 or more; 0 when the sheet marks no second session (or marks one
// without a track after it). The text has passed checkCueText.
int lastSessionFirstTrack(std::string_view cueText);

}  // namespace cdr
