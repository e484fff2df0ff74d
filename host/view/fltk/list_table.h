#pragma once
// A list model as a table: headings and widths from the model's columns,
// rows and selection from a snapshot of the model taken at each sync. Clicks
// go to the model (Ctrl toggles, Shift extends); the model's selection is
// what is drawn.
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

 protected:
  void draw_cell(TableContext context, int row, int col, int x, int y, int w, int h) override;

 private:
  void keepInSight(int row);
  // Snapshot of the model (UTF-8), window thread only.
  std::vector<std::string> headings_;
  std::vector<int> widths_;
  std::vector<std::vector<std::string>> cells_;
  std::set<int> selected_;
  int focused_ = -1;
  int shownRequest_ = -1;
};

}  // namespace qomhost::fltk
