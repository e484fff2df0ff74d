#pragma once
// An icon button model drawn from its PNG images: normal, highlighted while
// the pointer is over it, activated while the model says so. Pointer
// entering and leaving and a left click go to the model.
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Widget.H>

#include <memory>

#include "host/view/fltk/bound.h"
#include "host/view/fltk/skin_colors.h"
#include "sdk/ui/icon_button.h"

namespace qomhost::fltk {

class IconBox final : public Fl_Widget, public Bound {
 public:
  IconBox(qom::ui::IconButton* model, const SkinColors& colors);
  void syncFromModel() override;
  void draw() override;
  int handle(int event) override;
  bool hovered() const { return hover_; }

 private:
  static std::unique_ptr<Fl_PNG_Image> decode(const qom::ui::IconButton::Image& png);
  const SkinColors colors_;  // a copy: the widget may outlive the view
  qom::ui::IconButton::Image normalPng_, highlightedPng_, activatedPng_;
  std::unique_ptr<Fl_PNG_Image> normal_, highlighted_, activated_;
  bool isActivated_ = false;
  bool hover_ = false;
};

}  // namespace qomhost::fltk
