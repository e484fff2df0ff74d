// The user's edits: the Artist and Track fields write into the rows, Enter
// steps to the next row, and a new selection loads the rows' texts.
#include "rondel/ui/main_window.h"

namespace rondel {

void MainWindow::applyFieldToColumn(qom::ui::Edit& field, int column) {
  qom::ui::ListView& list = *trackList_;
  if (list.rowCount() == 0) return;
  const std::string text = field.text();
  if (text == kMultipleItems) return;
  const std::vector<int> selected = list.selectedRows();
  if (!selected.empty()) {
    for (int row : selected) list.setCell(row, column, text);
  } else {
    for (int row = 0, n = list.rowCount(); row < n; ++row) list.setCell(row, column, text);
  }
}

void MainWindow::stepToNextRow(qom::ui::Edit& entered, qom::ui::Edit& other, int enteredColumn) {
  qom::ui::ListView& list = *trackList_;
  const int n = list.rowCount();
  if (n == 0) return;
  const std::vector<int> selected = list.selectedRows();
  if (selected.size() != 1) return;
  const int next = (selected.front() + 1) % n;
  list.clearSelection();
  list.selectOnly(next);
  // Keep the row being edited in sight.
  list.setFocusedRow(next);
  list.ensureVisible(next);
  const int otherColumn = enteredColumn == kColumnArtist ? kColumnTrack : kColumnArtist;
  entered.setText(list.cell(next, enteredColumn));
  other.setText(list.cell(next, otherColumn));
  entered.selectAll();
}

void MainWindow::loadFieldsFromSelection() {
  qom::ui::ListView& list = *trackList_;
  if (list.rowCount() == 0) return;
  const std::vector<int> selected = list.selectedRows();
  if (selected.empty()) return;
  auto load = [&](qom::ui::Edit& field, int column) {
    const std::string first = list.cell(selected.front(), column);
    for (int row : selected) {
      if (list.cell(row, column) != first) {
        field.setText(kMultipleItems);
        return;
      }
    }
    field.setText(first);
  };
  load(*artistField_, kColumnArtist);
  load(*trackField_, kColumnTrack);
}

}  // namespace rondel
