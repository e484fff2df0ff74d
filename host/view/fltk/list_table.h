#pragma once
// A list model as a table: headings and widths from the model's columns,
// rows and selection from a snapshot of the model taken at each sync. Clicks
// go to the model (Ctrl toggles, Shift extends), and so do Up and Down (Shift
// extends); Tab reaches the table. The model's selection is what is drawn. A
// text that does not fit its cell ends with "…" and the pointer over it
// shows the whole text as a tooltip.
#include <FL/Fl_Table_Row.H>

#include <set>
#include <string>
#include <vector>

#include "host/view/fltk/bound.h"
#include "sdk/ui/list_view.h"

namespace qomhost::fltk {

class ListTable final : public Fl_Table_Row, public Bound {
 public:
  static constexpr int kHeaderHeight = 18;
  static constexpr int kRowHeight = 16;

  explicit ListTable(qom::ui::ListView* model);
  void syncFromModel() override;
  int handle(int event) override;

  // What a header or cell shows in its width (UTF-8), and the tooltip the
  // pointer over it gets ("" when the whole text shows).
  std::string shownHeading(int col) const;
  std::string shownCell(int row, int col) const;
  std::string cellTip(int row, int col) const;

 protected:
  void draw_cell(TableContext context, int row, int col, int x, int y, int w, int h) override;

 private:
  void keepInSight(int row);
  // Up or Down from the focused row; answers whether the key was used.
  bool moveFocus(int step, bool extend);
  void updateTooltip();
  // The room a column's text has, in pixels.
  int textRoom(int col) const;
  int anchor_ = -1;  // where Shift+Up/Down ranges start: the last row chosen without Shift
  std::string tip_;  // the tooltip shown now (FLTK keeps the pointer)
  // Snapshot of the model (UTF-8), window thread only.
  std::vector<std::string> headings_;
  std::vector<int> widths_;
  std::vector<std::vector<std::string>> cells_;
  std::set<int> selected_;
  int focused_ = -1;
  int shownRequest_ = -1;
};

}  // namespace qomhost::fltk
