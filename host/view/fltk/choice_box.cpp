#include "host/view/fltk/choice_box.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "host/view/fltk/text_fit.h"

namespace qomhost::fltk {

ChoiceBox::ChoiceBox(qom::ui::DropDown* model, const SkinColors& colors)
    : Fl_Choice(0, 0, 1, 1), Bound(model) {
  textfont(windowFont());
  textsize(12);
  callback(&ChoiceBox::onPick);
  when(FL_WHEN_RELEASE_ALWAYS);
  if (model == nullptr) return;
  const qom::ui::DropDownSkin skin = model->skin();
  textPart_ = colors.part(skin.mainGroup, qom::ui::kDropDownTextPart);
  buttonPart_ = colors.part(skin.mainGroup, qom::ui::kDropDownButtonPart);
  // FLTK draws the open list with the choice's own colour, text colour and
  // selection colour.
  if (const std::optional<PartColors> list = colors.part(skin.listGroup, qom::ui::kDropDownListPart)) {
    color(list->background);
    textcolor(list->text);
    selection_color(list->selection);
  }
}

void ChoiceBox::onPick(Fl_Widget* widget, void*) {
  auto* self = static_cast<ChoiceBox*>(widget);
  auto* dropDown = static_cast<qom::ui::DropDown*>(self->model_);
  const int index = self->value();
  if (dropDown == nullptr || index < 0 || static_cast<std::size_t>(index) >= self->items_.size()) return;
  dropDown->userPick(self->items_[static_cast<std::size_t>(index)].id);
}

int ChoiceBox::handle(int event) {
  popupOpen_ = true;
  const int handled = Fl_Choice::handle(event);
  popupOpen_ = false;
  // Whatever arrived while the menu was open.
  syncFromModel();
  return handled;
}

void ChoiceBox::syncFromModel() {
  auto* dropDown = static_cast<qom::ui::DropDown*>(model_);
  if (dropDown == nullptr || popupOpen_) return;
  std::string caption = toFltk(dropDown->caption());
  std::vector<qom::ui::DropDownItem> items = dropDown->items();
  for (auto& item : items) item.text = toFltk(item.text);
  const int selected = dropDown->selectedId();
  const bool sameItems =
      items.size() == items_.size() &&
      std::equal(items.begin(), items.end(), items_.begin(),
                 [](const auto& a, const auto& b) { return a.id == b.id && a.text == b.text; });
  if (sameItems && caption == caption_ && selected == selected_) return;
  if (!sameItems) {
    // A menu array of our own: add() would read "/" as a submenu, merge
    // equal texts into one item, and "_" as a divider.
    labels_.clear();
    for (const auto& item : items) labels_.push_back(escapeLabel(item.text));
    menu_.assign(labels_.size() + 1, Fl_Menu_Item{});
    for (std::size_t i = 0; i < labels_.size(); ++i) menu_[i].label(labels_[i].c_str());
    menu(menu_.data());
    items_ = std::move(items);
  }
  caption_ = std::move(caption);
  selected_ = selected;
  int index = -1;
  for (std::size_t i = 0; i < items_.size(); ++i)
    if (items_[i].id == selected_) index = static_cast<int>(i);
  value(index);
  redraw();
}

void ChoiceBox::drawSkinned() {
  const PartColors text = *textPart_;
  const PartColors button = buttonPart_.value_or(text);
  const int dx = Fl::box_dx(FL_DOWN_BOX), dy = Fl::box_dy(FL_DOWN_BOX);
  const int innerH = h() - 2 * dy;
  const int buttonW = std::min(20, innerH);
  const int buttonX = x() + w() - buttonW - dx;
  fl_draw_box(FL_DOWN_BOX, x(), y(), w(), h(), text.background);
  fl_draw_box(FL_UP_BOX, buttonX, y() + dy, buttonW, innerH, button.background);
  const int arrow = std::max(1, (buttonW - 4) / 3);
  const int ax = buttonX + (buttonW - 2 * arrow - 1) / 2, ay = y() + dy + (innerH - arrow - 1) / 2;
  fl_color(active_r() ? button.text : fl_inactive(button.text));
  fl_polygon(ax, ay, ax + arrow, ay + arrow, ax + 2 * arrow, ay);
  // The chosen item's text, else the caption; never read as symbols.
  const int index = value();
  const std::string& shown = index >= 0 && static_cast<std::size_t>(index) < items_.size()
                                 ? items_[static_cast<std::size_t>(index)].text
                                 : caption_;
  fl_push_clip(x() + dx, y() + dy, buttonX - x() - dx, innerH);
  fl_font(textfont(), textsize());
  fl_color(active_r() ? text.text : fl_inactive(text.text));
  const int room = buttonX - x() - dx - 3;
  const std::string fitted = fitText(shown, room - 2);
  showTip(fitted == shown ? std::string() : shown);
  fl_draw(fitted.c_str(), x() + dx + 3, y() + dy, room, innerH, FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
  fl_pop_clip();
}

void ChoiceBox::draw() {
  if (textPart_) {
    drawSkinned();
    return;
  }
  Fl_Choice::draw();
  if (value() >= 0 || caption_.empty()) return;
  // Nothing chosen: the caption stands where the chosen text would.
  const int dx = Fl::box_dx(box()), dy = Fl::box_dy(box());
  const int arrow = h() - 2 * dy;
  fl_push_clip(x() + dx, y() + dy, w() - 2 * dx - arrow, h() - 2 * dy);
  fl_font(textfont(), textsize());
  fl_color(active_r() ? textcolor() : fl_inactive(textcolor()));
  fl_draw(caption_.c_str(), x() + dx + 3, y() + dy, w() - 2 * dx - arrow - 3, h() - 2 * dy,
          FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
  fl_pop_clip();
}

void ChoiceBox::showTip(const std::string& whole) {
  if (whole == tip_) return;
  tip_ = whole;
  if (tip_.empty())
    tooltip(nullptr);
  else
    copy_tooltip(tip_.c_str());
}

}  // namespace qomhost::fltk
