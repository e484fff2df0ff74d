#pragma once
// `qomhost desktop`: the components' windows in FLTK windows on the X
// display, with the launcher bar and the preferences window.
#include <string>

#include "host/core/host_session.h"

namespace qomhost {

struct DesktopOptions {
  std::string stateFile;  // "" = none; written at exit and on SIGUSR1
  int width = 0, height = 0;  // 0 = each frame's own size
};

// Runs until the launcher bar is closed or SIGTERM/SIGINT arrives. Answers
// the exit code: 0, or 2 when there is no display.
int runDesktop(const HostSession::Options& session, const DesktopOptions& options);

// "WxH" -> width and height (each 1..16384); false for anything else.
bool parseGeometry(const std::string& text, int* width, int* height);

}  // namespace qomhost
