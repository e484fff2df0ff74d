#include "host/view/fltk/list_table.h"

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace qomhost::fltk {

ListTable::ListTable(qom::ui::ListView* model) : Fl_Table_Row(0, 0, 1, 1), Bound(model) {
  end();  // a table must not collect the widgets made after it
  type(SELECT_NONE);
  col_header(1);
  col_header_height(kHeaderHeight);
  col_resize(1);
  rows(0);
  cols(0);
  box(FL_DOWN_FRAME);
  color(FL_BACKGROUND2_COLOR);  // the area below the last row
}

void ListTable::syncFromModel() {
  auto* list = static_cast<qom::ui::ListView*>(model_);
  if (list == nullptr) return;
  std::vector<std::string> headings;
  std::vector<int> widths;
  for (const qom::ui::ListColumn& c : list->columns()) {
    headings.push_back(toFltk(c.heading));
    widths.push_back(c.width);
  }
  // Rows are read one call at a time: a worker may change the model
  // meanwhile, and the next refresh brings that change too.
  const int rowCount = list->rowCount();
  std::vector<std::vector<std::string>> cells(static_cast<std::size_t>(rowCount));
  for (int r = 0; r < rowCount; ++r)
    for (std::size_t c = 0; c < headings.size(); ++c)
      cells[static_cast<std::size_t>(r)].push_back(toFltk(list->cell(r, static_cast<int>(c))));
  const std::vector<int> sel = list->selectedRows();
  std::set<int> selected(sel.begin(), sel.end());
  const int focused = list->focusedRow();

  bool changed = false;
  if (headings != headings_ || widths != widths_) {
    headings_ = std::move(headings);
    widths_ = std::move(widths);
    cols(static_cast<int>(headings_.size()));
    for (std::size_t c = 0; c < widths_.size(); ++c) col_width(static_cast<int>(c), widths_[c]);
    changed = true;
  }
  if (cells != cells_ || selected != selected_ || focused != focused_) {
    cells_ = std::move(cells);
    selected_ = std::move(selected);
    focused_ = focused;
    if (rows() != rowCount) {
      rows(rowCount);
      row_height_all(kRowHeight);  // applies to existing rows only
    }
    changed = true;
  }
  const int request = list->visibleRowRequest();
  if (request != shownRequest_) {
    shownRequest_ = request;
    keepInSight(request);
  }
  if (changed) redraw();
}

void ListTable::keepInSight(int row) {
  if (row < 0 || row >= rows()) return;
  int r1 = 0, r2 = 0, c1 = 0, c2 = 0;
  visible_cells(r1, r2, c1, c2);
  if (row < r1) {
    row_position(row);
  } else if (row > r2) {
    // The last fully shown row becomes `row`.
    const int shown = std::max(1, (tih - 1) / kRowHeight);
    row_position(std::max(0, row - shown + 1));
  }
}

int ListTable::handle(int event) {
  auto* list = static_cast<qom::ui::ListView*>(model_);
  if (list != nullptr && event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE) {
    int row = -1, col = -1;
    ResizeFlag resize = RESIZE_NONE;
    if (cursor2rowcol(row, col, resize) == CONTEXT_CELL && resize == RESIZE_NONE) {
      using Mode = qom::ui::ListView::ClickMode;
      const Mode mode = (Fl::event_state() & FL_CTRL) != 0    ? Mode::Toggle
                        : (Fl::event_state() & FL_SHIFT) != 0 ? Mode::Extend
                                                              : Mode::Only;
      take_focus();
      list->userClickRow(row, mode);
      return 1;
    }
  }
  return Fl_Table_Row::handle(event);
}

void ListTable::draw_cell(TableContext context, int row, int col, int x, int y, int w, int h) {
  const auto index = [](int i) { return static_cast<std::size_t>(i); };
  switch (context) {
    case CONTEXT_COL_HEADER:
      if (col < 0 || index(col) >= headings_.size()) return;
      fl_push_clip(x, y, w, h);
      fl_draw_box(FL_THIN_UP_BOX, x, y, w, h, FL_BACKGROUND_COLOR);
      fl_color(FL_FOREGROUND_COLOR);
      fl_font(FL_HELVETICA_BOLD, 12);
      fl_draw(headings_[index(col)].c_str(), x + 3, y, w - 3, h, FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
      fl_pop_clip();
      return;
    case CONTEXT_CELL: {
      if (row < 0 || index(row) >= cells_.size()) return;
      const auto& rowCells = cells_[index(row)];
      const bool selected = selected_.count(row) != 0;
      fl_push_clip(x, y, w, h);
      fl_color(selected ? FL_SELECTION_COLOR : FL_BACKGROUND2_COLOR);
      fl_rectf(x, y, w, h);
      fl_color(selected ? fl_contrast(FL_FOREGROUND_COLOR, FL_SELECTION_COLOR) : FL_FOREGROUND_COLOR);
      fl_font(FL_HELVETICA, 12);
      if (col >= 0 && index(col) < rowCells.size())
        fl_draw(rowCells[index(col)].c_str(), x + 3, y, w - 3, h, FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
      if (row == focused_) {
        fl_color(FL_DARK3);
        fl_line_style(FL_DOT);
        fl_xyline(x, y, x + w - 1);
        fl_xyline(x, y + h - 1, x + w - 1);
        fl_line_style(0);
      }
      fl_pop_clip();
      return;
    }
    default:
      return;
  }
}

}  // namespace qomhost::fltk
