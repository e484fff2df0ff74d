#pragma once
// The colours the desktop view draws with, taken from the skin files the
// components registered; sensible dark defaults where a skin names none.
#include <FL/Enumerations.H>

#include <optional>
#include <string>

namespace qomhost {
class HostCore;
}

namespace qomhost::fltk {

struct SkinColors {
  Fl_Color textBarBackground = fl_rgb_color(0x1E, 0x26, 0x30);
  Fl_Color textBarText = fl_rgb_color(0xE6, 0xE9, 0xED);
  Fl_Color windowBackground = fl_rgb_color(0x2B, 0x34, 0x40);
  Fl_Color windowText = fl_rgb_color(0xE6, 0xE9, 0xED);
};

// "#RRGGBB" only; anything else is nullopt.
std::optional<Fl_Color> parseColor(const std::string& text);
// The first value each colour has in the host's skin files, in registration
// order. Unreadable files are skipped.
SkinColors loadSkinColors(const HostCore& host);
// A skin file path as registered (relative to the host's base folder, or
// absolute) made native.
std::string skinFilePath(const HostCore& host, const std::string& registered);

}  // namespace qomhost::fltk
