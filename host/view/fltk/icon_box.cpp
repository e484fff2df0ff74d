#include "host/view/fltk/icon_box.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <climits>

namespace qomhost::fltk {

IconBox::IconBox(qom::ui::IconButton* model, const SkinColors& colors)
    : Fl_Widget(0, 0, 1, 1), Bound(model), colors_(colors) {}

std::unique_ptr<Fl_PNG_Image> IconBox::decode(const qom::ui::IconButton::Image& png) {
  // The header's size first: a PNG that claims a huge image would have
  // FLTK allocate for it before failing. Signature, IHDR length and type,
  // then width and height, big-endian.
  constexpr std::size_t kHeader = 24;
  constexpr unsigned kLargest = 1024;
  if (png.size() < kHeader || png.size() > static_cast<std::size_t>(INT_MAX)) return nullptr;
  const auto be32 = [&png](std::size_t at) {
    return static_cast<unsigned>(png[at]) << 24 | static_cast<unsigned>(png[at + 1]) << 16 |
           static_cast<unsigned>(png[at + 2]) << 8 | static_cast<unsigned>(png[at + 3]);
  };
  static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  if (!std::equal(kSignature, kSignature + 8, png.begin()) || be32(16) == 0 || be32(16) > kLargest ||
      be32(20) == 0 || be32(20) > kLargest)
    return nullptr;
  auto image = std::make_unique<Fl_PNG_Image>("icon.png", png.data(), static_cast<int>(png.size()));
  // A damaged image decodes to nothing; the button then draws a plain face.
  if (image->fail() != 0 || image->w() <= 0 || image->h() <= 0) return nullptr;
  return image;
}

void IconBox::syncFromModel() {
  auto* icon = static_cast<qom::ui::IconButton*>(model_);
  if (icon == nullptr) return;
  bool changed = false;
  const auto update = [&changed](qom::ui::IconButton::Image png, qom::ui::IconButton::Image& kept,
                                 std::unique_ptr<Fl_PNG_Image>& image) {
    if (png == kept) return;
    kept = std::move(png);
    image = decode(kept);
    changed = true;
  };
  update(icon->normalImage(), normalPng_, normal_);
  update(icon->highlightedImage(), highlightedPng_, highlighted_);
  update(icon->activatedImage(), activatedPng_, activated_);
  if (icon->activated() != isActivated_) {
    isActivated_ = !isActivated_;
    changed = true;
  }
  if (changed) redraw();
}

void IconBox::draw() {
  fl_color(colors_.windowBackground);
  fl_rectf(x(), y(), w(), h());
  Fl_PNG_Image* image = isActivated_ && activated_ ? activated_.get()
                        : hover_ && highlighted_   ? highlighted_.get()
                                                   : normal_.get();
  if (image != nullptr) {
    image->draw(x() + (w() - image->w()) / 2, y() + (h() - image->h()) / 2);
  } else {
    fl_draw_box(isActivated_ ? FL_DOWN_BOX : FL_UP_BOX, x(), y(), w(), h(), FL_BACKGROUND_COLOR);
  }
}

int IconBox::handle(int event) {
  auto* icon = static_cast<qom::ui::IconButton*>(model_);
  switch (event) {
    case FL_ENTER:
      hover_ = true;
      redraw();
      if (icon != nullptr) icon->onEnterArea();
      return 1;
    case FL_LEAVE:
      hover_ = false;
      redraw();
      if (icon != nullptr) icon->onLeaveArea();
      return 1;
    case FL_PUSH:
      return Fl::event_button() == FL_LEFT_MOUSE ? 1 : 0;
    case FL_RELEASE:
      // A click counts only when the button is let go over the icon.
      if (icon != nullptr && Fl::event_button() == FL_LEFT_MOUSE && Fl::event_inside(this))
        icon->onLeftPush();
      return 1;
    default:
      return Fl_Widget::handle(event);
  }
}

}  // namespace qomhost::fltk
