#pragma once
// A drop-down model as an FLTK choice: shows the model's caption while no
// item is chosen; a pick goes to the model by item id. A model that names
// skin groups is drawn in their parts' colours: the text part and the
// button part in the closed box, the list part in the open list.
#include <FL/Fl_Choice.H>

#include <string>
#include <vector>

#include "host/view/fltk/bound.h"
#include "host/view/fltk/skin_colors.h"
#include "sdk/ui/drop_down.h"

namespace qomhost::fltk {

class ChoiceBox final : public Fl_Choice, public Bound {
 public:
  ChoiceBox(qom::ui::DropDown* model, const SkinColors& colors);
  void syncFromModel() override;
  void draw() override;
  int handle(int event) override;

 private:
  static void onPick(Fl_Widget* widget, void*);
  // The closed box in the skin's text and button parts.
  void drawSkinned();
  // The tooltip: the whole chosen text when the box shows it cut ("": none).
  void showTip(const std::string& whole);
  std::string tip_;
  std::optional<PartColors> textPart_, buttonPart_;
  std::string caption_;
  std::vector<qom::ui::DropDownItem> items_;  // UTF-8 texts, the model's ids
  int selected_ = -1;
  // True while the menu pops up: FLTK runs a nested loop that may sync, and
  // the open menu still reads the old array.
  bool popupOpen_ = false;
  // The menu the choice shows; menu_ points into labels_ (end item zeroed).
  std::vector<std::string> labels_;
  std::vector<Fl_Menu_Item> menu_;
};

}  // namespace qomhost::fltk
