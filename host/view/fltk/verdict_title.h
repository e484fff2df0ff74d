#pragma once
// Each copied track's AccurateRip verdict where the user sees it while the
// window is open: appended to the frame window's title ("  |  AccurateRip:
// 1 accurate 12/14, 2 not accurate"), so the component's own status texts
// and list stay as they are. Window thread.
#include <string>

#include "sdk/ui/window.h"

namespace qomhost::fltk {

// The text to append (UTF-8), "" when no track of the component window's
// list has a verdict.
std::string verdictTitle(qom::ui::Window* componentWindow);

}  // namespace qomhost::fltk
