#include "host/view/fltk/edit_input.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <string>

#include "host/view/fltk/text_fit.h"

namespace qomhost::fltk {

EditInput::EditInput(qom::ui::Edit* model) : Fl_Input(0, 0, 1, 1), Bound(model) {
  // A one-pixel frame and 11-pixel text leave the window's small fields
  // room for their text (the year is 30 pixels wide).
  box(FL_THIN_DOWN_BOX);
  textfont(windowFont());
  textsize(kWindowTextSize);
  when(FL_WHEN_NEVER);
}

int EditInput::toModelOffset(int utf8Offset) const {
  const std::string text = value();
  utf8Offset = std::clamp(utf8Offset, 0, static_cast<int>(text.size()));
  return static_cast<int>(fromFltk(text.substr(0, static_cast<std::size_t>(utf8Offset)).c_str()).size());
}

int EditInput::toWidgetOffset(const std::string& utf8, int modelOffset) const {
  const std::string cp = fromFltk(utf8.c_str());
  modelOffset = std::clamp(modelOffset, 0, static_cast<int>(cp.size()));
  return static_cast<int>(toFltk(cp.substr(0, static_cast<std::size_t>(modelOffset))).size());
}

int EditInput::handle(int event) {
  auto* edit = static_cast<qom::ui::Edit*>(model_);
  if (edit == nullptr) return Fl_Input::handle(event);
  if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
    edit->userEnter();
    return 1;
  }
  const std::string before = value();
  const int beforePos = position(), beforeMark = mark();
  const int handled = Fl_Input::handle(event);
  if (model_ == nullptr) return handled;  // the model went away meanwhile
  const std::string after = value();
  if (after != before) {
    // userReplaceText moves the model's caret: remember it as seen.
    edit->userReplaceText(fromFltk(after.c_str()), toModelOffset(position()));
    lastModelSelection_ = {edit->selectionStart(), edit->selectionEnd()};
  } else if (position() != beforePos || mark() != beforeMark) {
    const int a = toModelOffset(mark()), b = toModelOffset(position());
    edit->userSelect(std::min(a, b), std::max(a, b));
    lastModelSelection_ = {edit->selectionStart(), edit->selectionEnd()};
  }
  return handled;
}

void EditInput::syncFromModel() {
  auto* edit = static_cast<qom::ui::Edit*>(model_);
  if (edit == nullptr) return;
  const std::string text = toFltk(edit->text());
  const std::pair<int, int> selection{edit->selectionStart(), edit->selectionEnd()};
  if (text != value()) {
    value(text.c_str());
    // A field the user is not in shows the start of a text set for it (a
    // year, an artist from the database), not its end scrolled into view;
    // the caret comes back with the focus.
    if (Fl::focus() == this)
      position(toWidgetOffset(text, selection.second), toWidgetOffset(text, selection.first));
    else
      position(0);
  } else if (selection != lastModelSelection_) {
    position(toWidgetOffset(text, selection.second), toWidgetOffset(text, selection.first));
  }
  lastModelSelection_ = selection;
}

void EditInput::draw() {
  Fl_Input::draw();
  // A text wider than the field (the field scrolls while it is edited) is
  // its tooltip, for reading it whole.
  fl_font(textfont(), textsize());
  const std::string text = value();
  const bool cut = !text.empty() && fl_width(text.c_str(), static_cast<int>(text.size())) >
                                         w() - Fl::box_dw(box()) - 6;
  if (cut && text != tip_) {
    tip_ = text;
    copy_tooltip(tip_.c_str());
  } else if (!cut && !tip_.empty()) {
    tip_.clear();
    tooltip(nullptr);
  }
}

}  // namespace qomhost::fltk
