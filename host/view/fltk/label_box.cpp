#include "host/view/fltk/label_box.h"

#include <FL/fl_draw.H>

#include "host/view/fltk/text_fit.h"

namespace qomhost::fltk {

LabelBox::LabelBox(qom::ui::Label* model, const SkinColors& colors)
    : Fl_Widget(0, 0, 1, 1), Bound(model), colors_(colors) {}

void LabelBox::syncFromModel() {
  auto* label = static_cast<qom::ui::Label*>(model_);
  if (label == nullptr) return;
  std::string text = toFltk(label->text());
  const int size = label->textSize();
  const bool centred = label->centred(), shadow = label->shadow(), filled = label->filled();
  if (text == text_ && size == size_ && centred == centred_ && shadow == shadow_ && filled == filled_)
    return;
  text_ = std::move(text);
  size_ = size, centred_ = centred, shadow_ = shadow, filled_ = filled;
  // An unfilled label is transparent: the parent repaints what lies under
  // it, so a shorter new text never leaves the old one showing.
  if (!filled_ && parent() != nullptr)
    parent()->damage(FL_DAMAGE_ALL, x(), y(), w(), h());
  redraw();
}

void LabelBox::draw() {
  // Unfilled labels paint no background: in the bottom panel the link label
  // overlaps the promotional label, and must not hide it.
  if (filled_) {
    fl_color(colors_.textBarBackground);
    fl_rectf(x(), y(), w(), h());
  }
  if (text_.empty()) {
    tooltip(nullptr);
    return;
  }
  fl_push_clip(x(), y(), w(), h());
  fl_font(windowFont(), pixelSize(size_));
  const int left = centred_ ? x() : x() + 2;
  const int width = centred_ ? w() : w() - 2;
  // A text too long for the label ends with "…"; the pointer shows it all.
  shown_ = fitText(text_, width - (shadow_ ? 1 : 0));
  if (shown_ != text_)
    copy_tooltip(text_.c_str());
  else
    tooltip(nullptr);
  const Fl_Align align = (centred_ ? FL_ALIGN_CENTER : FL_ALIGN_LEFT) | FL_ALIGN_CLIP;
  // The shadow uses the darker text-bar background, which is what makes it
  // show on the window background.
  if (shadow_) {
    fl_color(colors_.textBarBackground);
    fl_draw(shown_.c_str(), left + 1, y() + 1, width, h(), align, nullptr, 0);
  }
  fl_color(filled_ ? colors_.textBarText : colors_.windowText);
  fl_draw(shown_.c_str(), left, y(), width, h(), align, nullptr, 0);
  fl_pop_clip();
}

}  // namespace qomhost::fltk
