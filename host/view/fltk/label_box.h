#pragma once
// A toolkit label drawn the way the skin describes it: text size, centring
// (off: 2 pixels from the left), a one-pixel shadow down and right, and an
// optional filled text-bar background. A text too long ends with "…" and
// is the widget's tooltip.
#include <FL/Fl_Widget.H>

#include "host/view/fltk/bound.h"
#include "host/view/fltk/skin_colors.h"
#include "sdk/ui/label.h"

namespace qomhost::fltk {

class LabelBox final : public Fl_Widget, public Bound {
 public:
  LabelBox(qom::ui::Label* model, const SkinColors& colors);
  void syncFromModel() override;
  void draw() override;
  // The model's text (UTF-8), and what the last draw showed of it (cut
  // with "…" when it did not fit).
  const std::string& shownText() const { return text_; }
  const std::string& drawnText() const { return shown_; }

 private:
  const SkinColors colors_;  // a copy: the widget may outlive the view
  std::string text_;  // UTF-8
  std::string shown_;
  int size_ = 16;
  bool centred_ = false, shadow_ = true, filled_ = false;
};

}  // namespace qomhost::fltk
