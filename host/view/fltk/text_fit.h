#pragma once
// The window's text face, and texts cut to fit a width. The component's
// layout has fixed sizes (a 45-pixel "Number" column, a 90-pixel "Status"
// column, 40-pixel label columns); a condensed face at 11 pixels fits the
// headers and the component's own status texts ("Copying 100%...") in them.
// What still does not fit ends with "…", and its widget offers the whole
// text as a tooltip. Window thread only.
#include <FL/Enumerations.H>

#include <string>

namespace qomhost::fltk {

// The face of the component windows' texts and its bold form (table
// headers). Registered with FLTK on first use; fontconfig substitutes its
// nearest face where the condensed one is not installed.
Fl_Font windowFont();
Fl_Font windowBoldFont();
// The text size of table cells and edit fields, and of the bold table
// headers (at 10, "Number" fits the 45-pixel column with its padding).
constexpr int kWindowTextSize = 11;
constexpr int kHeaderTextSize = 10;
// Pixels left free before and after a table cell's text.
constexpr int kCellPaddingLeft = 3, kCellPaddingRight = 2;

// `utf8` as drawn in `width` pixels with the current fl_font: unchanged when
// it fits, else as many whole characters as fit followed by "…".
std::string fitText(const std::string& utf8, int width);

}  // namespace qomhost::fltk
