#pragma once
// A push button model as an FLTK button: text, text size, enabled state;
// a click goes to the model.
#include <FL/Fl_Button.H>

#include "host/view/fltk/bound.h"
#include "sdk/ui/push_button.h"

namespace qomhost::fltk {

class PushButtonWidget final : public Fl_Button, public Bound {
 public:
  explicit PushButtonWidget(qom::ui::PushButton* model);
  void syncFromModel() override;

 private:
  static void onClick(Fl_Widget* widget, void*);
  std::string text_;
};

}  // namespace qomhost::fltk
