#include "host/view/fltk/list_table.h"

#include <FL/Fl.H>
#include <FL/Fl_Tooltip.H>
#include <FL/fl_draw.H>

#include <algorithm>

#include "host/view/fltk/text_fit.h"

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

int ListTable::textRoom(int col) const {
  // (FLTK 1.3 declares col_width non-const; it only reads.)
  return const_cast<ListTable*>(this)->col_width(col) - kCellPaddingLeft - kCellPaddingRight;
}

std::string ListTable::shownHeading(int col) const {
  if (col < 0 || static_cast<std::size_t>(col) >= headings_.size()) return {};
  fl_font(windowBoldFont(), kHeaderTextSize);
  return fitText(headings_[static_cast<std::size_t>(col)], textRoom(col));
}

std::string ListTable::shownCell(int row, int col) const {
  if (row < 0 || static_cast<std::size_t>(row) >= cells_.size()) return {};
  const auto& rowCells = cells_[static_cast<std::size_t>(row)];
  if (col < 0 || static_cast<std::size_t>(col) >= rowCells.size()) return {};
  fl_font(windowFont(), kWindowTextSize);
  return fitText(rowCells[static_cast<std::size_t>(col)], textRoom(col));
}

std::string ListTable::cellTip(int row, int col) const {
  if (row < 0 || static_cast<std::size_t>(row) >= cells_.size()) return {};
  const auto& rowCells = cells_[static_cast<std::size_t>(row)];
  if (col < 0 || static_cast<std::size_t>(col) >= rowCells.size()) return {};
  const std::string& whole = rowCells[static_cast<std::size_t>(col)];
  return shownCell(row, col) == whole ? std::string() : whole;
}

void ListTable::updateTooltip() {
  int row = -1, col = -1;
  ResizeFlag resize = RESIZE_NONE;
  const TableContext context = cursor2rowcol(row, col, resize);
  std::string tip;
  if (context == CONTEXT_CELL) {
    tip = cellTip(row, col);
  } else if (context == CONTEXT_COL_HEADER && col >= 0 && static_cast<std::size_t>(col) < headings_.size() &&
             shownHeading(col) != headings_[static_cast<std::size_t>(col)]) {
    tip = headings_[static_cast<std::size_t>(col)];
  }
  if (tip == tip_) return;
  tip_ = std::move(tip);
  int x = 0, y = 0, w = 0, h = 0;
  if (tip_.empty() || find_cell(context, row, col, x, y, w, h) != 0) {
    Fl_Tooltip::enter_area(this, 0, 0, 0, 0, nullptr);
    return;
  }
  Fl_Tooltip::enter_area(this, x - this->x(), y - this->y(), w, h, tip_.c_str());
}

bool ListTable::moveFocus(int step, bool extend) {
  auto* list = static_cast<qom::ui::ListView*>(model_);
  const int rowCount = list != nullptr ? list->rowCount() : 0;
  if (rowCount == 0) return false;
  const int from = list->focusedRow();
  const int to = from < 0 ? 0 : std::clamp(from + step, 0, rowCount - 1);
  if (!extend || anchor_ < 0 || anchor_ >= rowCount) anchor_ = extend && from >= 0 ? from : to;
  if (extend && to != anchor_) {
    // The model extends from its focused row: start the range at the
    // anchor, so Shift+Down twice selects three rows.
    list->userClickRow(anchor_, qom::ui::ListView::ClickMode::Only);
    list->userClickRow(to, qom::ui::ListView::ClickMode::Extend);
  } else {
    list->userClickRow(to, qom::ui::ListView::ClickMode::Only);
  }
  keepInSight(to);
  return true;
}

int ListTable::handle(int event) {
  auto* list = static_cast<qom::ui::ListView*>(model_);
  switch (event) {
    case FL_FOCUS:
    case FL_UNFOCUS:
      // The table takes the keyboard (Tab reaches it); the focused row's
      // frame shows where Up and Down start.
      redraw();
      return 1;
    case FL_KEYBOARD:
      if (list != nullptr && (Fl::event_key() == FL_Up || Fl::event_key() == FL_Down) &&
          (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) == 0) {
        const bool extend = (Fl::event_state() & FL_SHIFT) != 0;
        return moveFocus(Fl::event_key() == FL_Up ? -1 : 1, extend) ? 1 : 0;
      }
      // Tab and the other keys move on to the next widget or the window.
      if (Fl::event_key() == FL_Tab) return 0;
      break;
    case FL_ENTER:
    case FL_MOVE:
      Fl_Table_Row::handle(event);
      updateTooltip();
      return 1;
    case FL_LEAVE:
      tip_.clear();
      break;
    default:
      break;
  }
  if (list != nullptr && event == FL_PUSH && Fl::event_button() == FL_LEFT_MOUSE) {
    int row = -1, col = -1;
    ResizeFlag resize = RESIZE_NONE;
    if (cursor2rowcol(row, col, resize) == CONTEXT_CELL && resize == RESIZE_NONE) {
      using Mode = qom::ui::ListView::ClickMode;
      const Mode mode = (Fl::event_state() & FL_CTRL) != 0    ? Mode::Toggle
                        : (Fl::event_state() & FL_SHIFT) != 0 ? Mode::Extend
                                                              : Mode::Only;
      take_focus();
      if (mode != Mode::Extend) anchor_ = row;
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
      fl_draw(shownHeading(col).c_str(), x + kCellPaddingLeft, y, w - kCellPaddingLeft, h,
              FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
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
      if (col >= 0 && index(col) < rowCells.size())
        fl_draw(shownCell(row, col).c_str(), x + kCellPaddingLeft, y, w - kCellPaddingLeft, h,
                FL_ALIGN_LEFT | FL_ALIGN_CLIP, nullptr, 0);
      if (row == focused_) {
        fl_color(Fl::focus() == this ? FL_FOREGROUND_COLOR : FL_DARK3);
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
