// The toolkit's window models without a loop: placement, list selection,
// edit keys, drop-down ids, buttons.
#include <gtest/gtest.h>

#include <vector>

#include "sdk/rondel_window.h"
#include "sdk/ui/container.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"

namespace {
using namespace qom::ui;

struct Note {
  Window* child;
  int code;
};

class Recorder : public Container {
 public:
  int onChildNotify(Window* child, int code, std::intptr_t, std::intptr_t) override {
    notes.push_back({child, code});
    return 0;
  }
  int count(int code) const {
    int n = 0;
    for (const Note& note : notes) n += note.code == code;
    return n;
  }
  std::vector<Note> notes;
};

TEST(UiPlacement, EdgeModesGiveTheRectanglesOfTheirRules) {
  const Edge p0{0, EdgeMode::Parent};
  struct Case {
    Placement placement;
    int parentWidth, parentHeight;
    Rect expected;
  } cases[] = {
      // full width, 65 high at the top
      {{p0, p0, p0, {65, EdgeMode::Loose}}, 600, 400, {0, 0, 600, 65}},
      // full width, 29 high at the bottom
      {{p0, {29, EdgeMode::Loose}, p0, p0}, 600, 400, {0, 371, 600, 29}},
      // 20 high, its bottom 30 above the parent's bottom
      {{p0, {20, EdgeMode::Loose}, p0, {-30, EdgeMode::Parent}}, 600, 400, {0, 350, 600, 20}},
      // from y = 64 to 71 above the bottom; no height when the parent is too low
      {{p0, {64, EdgeMode::Absolute}, p0, {-71, EdgeMode::Parent}}, 600, 400, {0, 64, 600, 265}},
      {{p0, {64, EdgeMode::Absolute}, p0, {-71, EdgeMode::Parent}}, 600, 135, {0, 64, 600, 0}},
      {{p0, {64, EdgeMode::Absolute}, p0, {-71, EdgeMode::Parent}}, 600, 90, {0, 64, 600, 0}},
      // an absolute right edge counts from the parent's left
      {{{10, EdgeMode::Parent}, p0, {50, EdgeMode::Absolute}, p0}, 600, 400, {10, 0, 40, 400}},
      {Placement::fixed(315, -2, 250, 20), 600, 29, {315, -2, 250, 20}},
  };
  for (const Case& c : cases) {
    Rect r = placeInParent(c.placement, c.parentWidth, c.parentHeight);
    EXPECT_EQ(r, c.expected) << r.x << "," << r.y << " " << r.width << "x" << r.height;
  }

  // Nested windows are laid out from their parent's own size.
  Container root;
  Container panel(&root);
  panel.setPlacement({p0, {29, EdgeMode::Loose}, p0, p0});
  PushButton button(&panel);
  button.setPlacement(Placement::fixed(104, 2, 100, 25));
  root.resize(700, 500);
  EXPECT_EQ(button.rect(), (Rect{104, 2, 100, 25}));
  EXPECT_EQ(button.rootRect(), (Rect{104, 473, 100, 25}));
  root.resize(700, 300);
  EXPECT_EQ(button.rootRect(), (Rect{104, 273, 100, 25}));
}

TEST(UiList, SelectionChangesNotifyOnceAndBadIndexesAreIgnored) {
  Recorder parent;
  ListView list(&parent);
  for (int i = 0; i < 4; ++i) list.addRow("row", 10u + i);
  list.setCell(9, 1, "x");
  list.setCell(-1, 1, "x");
  list.setCell(1, 300, "x");
  EXPECT_EQ(list.cell(9, 1), "");
  EXPECT_EQ(list.itemData(-1), 0u);
  EXPECT_EQ(list.itemData(3), 13u);
  list.setCell(2, 4, "Copied");
  EXPECT_EQ(list.cell(2, 4), "Copied");
  EXPECT_EQ(list.cell(2, 3), "");

  list.selectOnly(1);
  list.selectOnly(1);  // no change, no note
  list.selectOnly(7);  // out of range
  EXPECT_EQ(parent.count(kNotifySelectionChanged), 1);
  list.userClickRow(3, ListView::ClickMode::Toggle);
  EXPECT_EQ(list.selectedRows(), (std::vector<int>{1, 3}));
  list.userClickRow(0, ListView::ClickMode::Extend);  // from the focused row 3
  EXPECT_EQ(list.selectedRows(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(list.focusedRow(), 0);
  list.clearSelection();
  list.clearSelection();
  EXPECT_EQ(parent.count(kNotifySelectionChanged), 4);
  list.setSelected(2, true);
  list.deleteAll();  // empties silently
  EXPECT_EQ(parent.count(kNotifySelectionChanged), 5);
  EXPECT_EQ(list.selectedCount(), 0);
  EXPECT_EQ(list.focusedRow(), -1);
}

TEST(UiEdit, KeysReplaceTheSelectionAndEachNotifies) {
  Recorder parent;
  Edit edit(&parent);
  edit.setText("Unknown Artist");  // set-text does not notify
  EXPECT_TRUE(parent.notes.empty());
  edit.userType("!");
  EXPECT_EQ(edit.text(), "Unknown Artist!");
  edit.selectAll();
  edit.userType("Abba");
  EXPECT_EQ(edit.text(), "Abba");
  edit.userBackspace();
  EXPECT_EQ(edit.text(), "Abb");
  edit.userSelect(0, 99);  // clamped
  edit.userBackspace();
  EXPECT_EQ(edit.text(), "");
  edit.userBackspace();  // nothing left: still a processed key
  edit.userEnter();
  EXPECT_EQ(parent.count(kNotifyEditKey), 1 + 4 + 3);
  EXPECT_EQ(parent.count(kNotifyEditEnter), 1);
  edit.userReplaceText("typed", 99);
  EXPECT_EQ(edit.selectionEnd(), 5);
}

class PickRecorder : public DropDown {
 public:
  using DropDown::DropDown;
  std::vector<int> picks;

 protected:
  void onPick(int id) override { picks.push_back(id); }
};

TEST(UiDropDownAndButton, IdsRestartAfterDeleteAllAndPicksReachTheHandler) {
  PickRecorder drop;
  drop.setCaption("No freedb entries");
  EXPECT_EQ(drop.addItem("rock: A"), 0);
  EXPECT_EQ(drop.addItem("misc: B"), 1);
  EXPECT_EQ(drop.shownText(), "No freedb entries");
  EXPECT_TRUE(drop.selectItem(1));
  EXPECT_EQ(drop.shownText(), "misc: B");
  EXPECT_FALSE(drop.userPick(5));
  drop.deleteAll();
  EXPECT_EQ(drop.selectedId(), -1);
  EXPECT_EQ(drop.shownText(), "No freedb entries");
  EXPECT_FALSE(drop.selectItem(1));
  EXPECT_EQ(drop.addItem("again"), 0);
  EXPECT_TRUE(drop.userPick(0));
  EXPECT_EQ(drop.picks, (std::vector<int>{1, 0}));

  Recorder parent;
  PushButton button(&parent);
  button.setEnabled(false);
  EXPECT_FALSE(button.userClick());
  button.setEnabled(true);
  EXPECT_TRUE(button.userClick());
  ASSERT_EQ(parent.notes.size(), 1u);
  EXPECT_EQ(parent.notes[0].child, &button);
  EXPECT_EQ(parent.notes[0].code, kNotifyClick);
}

}  // namespace

// The component writes progress with the format and the host reads it with
// the parser: every percentage the component can write reads back, and no
// other text passes as progress.
TEST(RondelWindow, CopyingStatusReadsBackAndNothingElsePassesAsProgress) {
  namespace window = rondel::window;
  for (int percent : {0, 7, 42, 100}) {
    unsigned read = 999;
    EXPECT_TRUE(window::parseCopyingPercent(window::copyingStatus(percent), read)) << percent;
    EXPECT_EQ(read, static_cast<unsigned>(percent));
  }
  for (const char* other : {"Copied", "Copying", "Copying %...", "Copying 101%...", "Copying 1000%...",
                            "Copying -1%...", "Copying 5", "copying 5%...", ""}) {
    unsigned read = 999;
    EXPECT_FALSE(window::parseCopyingPercent(other, read)) << other;
    EXPECT_EQ(read, 999u) << other;
  }
}
