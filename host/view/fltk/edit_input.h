#pragma once
// An edit field: the user's changes go to the model as whole texts with the
// caret (one key notification each), Enter as Enter; the model's own text
// and selection changes come back without fighting the user's caret.
#include <FL/Fl_Input.H>

#include <string>
#include <utility>

#include "host/view/fltk/bound.h"
#include "sdk/ui/edit.h"

namespace qomhost::fltk {

class EditInput final : public Fl_Input, public Bound {
 public:
  explicit EditInput(qom::ui::Edit* model);
  void syncFromModel() override;
  int handle(int event) override;
  // Draws the field; a text wider than it becomes its tooltip.
  void draw() override;

 private:
  // Byte offsets in the model's Windows-1252 text and in the widget's UTF-8.
  int toModelOffset(int utf8Offset) const;
  int toWidgetOffset(const std::string& utf8, int modelOffset) const;
  // The model's selection when last seen, so only the model's own changes
  // are copied into the widget.
  std::pair<int, int> lastModelSelection_{0, 0};
  std::string tip_;  // the tooltip shown now ("" none)
};

}  // namespace qomhost::fltk
