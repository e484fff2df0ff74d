#include "host/view/fltk/push_button_widget.h"

#include "host/view/fltk/text_fit.h"

namespace qomhost::fltk {

PushButtonWidget::PushButtonWidget(qom::ui::PushButton* model)
    : Fl_Button(0, 0, 1, 1), Bound(model) {
  callback(&PushButtonWidget::onClick);
  labelfont(windowFont());
}

void PushButtonWidget::onClick(Fl_Widget* widget, void*) {
  auto* self = static_cast<PushButtonWidget*>(widget);
  if (auto* button = static_cast<qom::ui::PushButton*>(self->model_)) button->userClick();
}

void PushButtonWidget::syncFromModel() {
  auto* button = static_cast<qom::ui::PushButton*>(model_);
  if (button == nullptr) return;
  std::string text = escapeLabel(toFltk(button->text()));
  if (text != text_) {
    text_ = std::move(text);
    copy_label(text_.c_str());
  }
  const int size = pixelSize(button->textSize());
  if (size != labelsize()) {
    labelsize(size);
    redraw();
  }
}

}  // namespace qomhost::fltk
