#include "sdk/ui/list_view.h"

#include <algorithm>

namespace qom::ui {

void ListView::addColumn(std::string heading, int width, int flags) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    columns_.push_back({std::move(heading), width, flags});
  }
  changed();
}

std::vector<ListColumn> ListView::columns() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return columns_;
}

int ListView::addRow(std::string label, std::uint32_t itemData) {
  int index;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    Row row;
    row.itemData = itemData;
    row.cells.push_back(std::move(label));
    rows_.push_back(std::move(row));
    index = static_cast<int>(rows_.size()) - 1;
  }
  changed();
  return index;
}

int ListView::rowCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(rows_.size());
}

void ListView::deleteAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    rows_.clear();
    selected_.clear();
    focused_ = -1;
    visibleRequest_ = -1;
  }
  changed();
}

void ListView::setCell(int row, int column, std::string text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column > 255) return;
    auto& cells = rows_[row].cells;
    if (static_cast<int>(cells.size()) <= column) cells.resize(column + 1);
    cells[column] = std::move(text);
  }
  changed();
}

std::string ListView::cell(int row, int column) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0) return {};
  const auto& cells = rows_[row].cells;
  return column < static_cast<int>(cells.size()) ? cells[column] : std::string();
}

std::uint32_t ListView::itemData(int row) const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (row < 0 || row >= static_cast<int>(rows_.size())) return 0;
  return rows_[row].itemData;
}

int ListView::selectedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(selected_.size());
}

bool ListView::isSelected(int row) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selected_.count(row) != 0;
}

std::vector<int> ListView::selectedRows() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::vector<int>(selected_.begin(), selected_.end());
}

void ListView::clearSelection() {
  bool was;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    was = !selected_.empty();
    selected_.clear();
  }
  if (was) selectionChanged();
}

void ListView::selectOnly(int row) {
  bool differs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    differs = !(selected_.size() == 1 && *selected_.begin() == row);
    selected_ = {row};
  }
  if (differs) selectionChanged();
}

void ListView::setSelected(int row, bool on) {
  bool differs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    differs = on ? selected_.insert(row).second : selected_.erase(row) != 0;
  }
  if (differs) selectionChanged();
}

int ListView::focusedRow() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return focused_;
}

void ListView::setFocusedRow(int row) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < -1 || row >= static_cast<int>(rows_.size())) return;
    focused_ = row;
  }
  changed();
}

void ListView::ensureVisible(int row) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    visibleRequest_ = row;
  }
  changed();
}

int ListView::visibleRowRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return visibleRequest_;
}

void ListView::userClickRow(int row, ClickMode mode) {
  bool differs;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (row < 0 || row >= static_cast<int>(rows_.size())) return;
    std::set<int> next;
    if (mode == ClickMode::Only) {
      next = {row};
    } else if (mode == ClickMode::Toggle) {
      next = selected_;
      if (!next.erase(row)) next.insert(row);
    } else {
      const int from = focused_ < 0 ? row : focused_;
      for (int r = std::min(from, row); r <= std::max(from, row); ++r) next.insert(r);
    }
    differs = next != selected_;
    selected_ = std::move(next);
    focused_ = row;
  }
  if (differs) selectionChanged();
  else changed();
}

void ListView::selectionChanged() {
  changed();
  notifyParent(kNotifySelectionChanged);
}

}  // namespace qom::ui
