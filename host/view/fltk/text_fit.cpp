#include "host/view/fltk/text_fit.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <FL/fl_utf8.h>

namespace qomhost::fltk {

namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";  // U+2026 in UTF-8

void registerFaces() {
  static bool done = false;
  if (done) return;
  done = true;
  // FLTK's Xft names: the first character is the style (" " plain, "B" bold).
  Fl::set_font(FL_FREE_FONT, " DejaVu Sans Condensed");
  Fl::set_font(static_cast<Fl_Font>(FL_FREE_FONT + 1), "BDejaVu Sans Condensed");
}

}  // namespace

Fl_Font windowFont() {
  registerFaces();
  return FL_FREE_FONT;
}

Fl_Font windowBoldFont() {
  registerFaces();
  return static_cast<Fl_Font>(FL_FREE_FONT + 1);
}

std::string fitText(const std::string& utf8, int width) {
  if (utf8.empty() || fl_width(utf8.c_str(), static_cast<int>(utf8.size())) <= width) return utf8;
  const double room = width - fl_width(kEllipsis);
  // Whole characters only: a cut inside a UTF-8 sequence would draw junk.
  const char* const begin = utf8.c_str();
  const char* const end = begin + utf8.size();
  const char* cut = begin;
  for (const char* p = begin; p < end;) {
    int length = 0;
    fl_utf8decode(p, end, &length);
    if (length <= 0) length = 1;
    const char* next = p + length > end ? end : p + length;
    if (fl_width(begin, static_cast<int>(next - begin)) > room) break;
    cut = next;
    p = next;
  }
  return std::string(begin, cut) + kEllipsis;
}

}  // namespace qomhost::fltk
