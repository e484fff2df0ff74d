#pragma once
// The colours the desktop view draws with, taken from the skin files the
// components registered; sensible dark defaults where a skin names none.
#include <FL/Enumerations.H>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qomhost {
class HostCore;
}

namespace qomhost::fltk {

// A control part's colours as a skin group gives them.
struct PartColors {
  Fl_Color text = FL_FOREGROUND_COLOR;
  Fl_Color background = FL_BACKGROUND2_COLOR;
  Fl_Color selection = FL_SELECTION_COLOR;
};

struct SkinColors {
  Fl_Color textBarBackground = fl_rgb_color(0x1E, 0x26, 0x30);
  Fl_Color textBarText = fl_rgb_color(0xE6, 0xE9, 0xED);
  Fl_Color windowBackground = fl_rgb_color(0x2B, 0x34, 0x40);
  Fl_Color windowText = fl_rgb_color(0xE6, 0xE9, 0xED);
  // By skin group and part id.
  std::map<std::pair<std::string, std::string>, PartColors> parts;

  // The part's colours, or nullopt when no skin names that part.
  std::optional<PartColors> part(const std::string& group, const std::string& id) const;
};

// "#RRGGBB" only; anything else is nullopt.
std::optional<Fl_Color> parseColor(const std::string& text);
// The first value each colour has in the host's skin files, in registration
// order. Unreadable files are skipped.
SkinColors loadSkinColors(const HostCore& host);
// The same from skin files at native paths, first file first.
SkinColors skinColorsFromFiles(const std::vector<std::string>& paths);
// A skin file path as registered (relative to the host's base folder, or
// absolute) made native.
std::string skinFilePath(const HostCore& host, const std::string& registered);

}  // namespace qomhost::fltk
