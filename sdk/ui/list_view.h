#pragma once
// A list with columns and rows. Each row carries a 32-bit item data value
// and one text per column (column 0 is the row's label). Several rows can
// be selected; one row has the focus. A change of the selection notifies the
// parent with kNotifySelectionChanged, on the window thread.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "sdk/ui/window.h"

namespace qom::ui {

struct ListColumn {
  std::string heading;
  int width = 0;
  int flags = 0;
};

class ListView : public Window {
 public:
  explicit ListView(Window* parent = nullptr) : Window(parent) {}
  static constexpr WindowKind kKind = WindowKind::List;
  WindowKind kind() const override { return kKind; }

  void addColumn(std::string heading, int width, int flags);
  std::vector<ListColumn> columns() const;

  // Appends a row; answers its index.
  int addRow(std::string label, std::uint32_t itemData);
  int rowCount() const;
  // Removes every row, the selection and the focus (no notification).
  void deleteAll();
  // Out-of-range rows and columns: setCell does nothing, cell answers "",
  // itemData answers 0.
  void setCell(int row, int column, std::string text);
  std::string cell(int row, int column) const;
  std::uint32_t itemData(int row) const;

  int selectedCount() const;
  bool isSelected(int row) const;
  std::vector<int> selectedRows() const;  // ascending
  // Each notifies when the selection actually changes.
  void clearSelection();
  void selectOnly(int row);
  void setSelected(int row, bool on);

  int focusedRow() const;  // -1: none
  void setFocusedRow(int row);
  // Asks the view to scroll so that `row` shows; remembered as the row the
  // view should keep in sight.
  void ensureVisible(int row);
  int visibleRowRequest() const;  // -1: none

  // User input from a view or a driver (window thread): a plain click
  // selects the row alone, a toggling click (Ctrl) adds or removes it, an
  // extending click (Shift) selects from the focused row to it. The row
  // gets the focus.
  enum class ClickMode { Only, Toggle, Extend };
  void userClickRow(int row, ClickMode mode = ClickMode::Only);

 private:
  struct Row {
    std::uint32_t itemData = 0;
    std::vector<std::string> cells;
  };
  void selectionChanged();
  mutable std::mutex mutex_;
  std::vector<ListColumn> columns_;
  std::vector<Row> rows_;
  std::set<int> selected_;
  int focused_ = -1;
  int visibleRequest_ = -1;
};

}  // namespace qom::ui
