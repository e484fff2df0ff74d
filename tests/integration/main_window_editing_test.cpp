// Editing in the main window: the Artist and Track fields against the
// selected rows, Enter stepping through the rows, and the buttons.
#include "main_window_fixture.h"

using namespace testing_support;
using Strings = std::vector<std::string>;
using Click = qom::ui::ListView::ClickMode;

namespace {

// A window listing three tracks, row 0 selected.
class MainWindowEditing : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(f.showAndTick());
    ASSERT_EQ(f.list().rowCount(), 3);
  }
  // Replaces the field's whole text as a user does: select all, type.
  void retype(const char* field, const std::string& text) {
    f.edit(field).selectAll();
    f.edit(field).userType(text);
  }

  MainWindowFixture f{drives({simDrive("SIM", kThreeTracks)})};
};

}  // namespace

TEST_F(MainWindowEditing, DifferingRowsShowTheMarkerAndTypingWritesEverySelectedRow) {
  retype("Artist", "Alpha");
  EXPECT_EQ(f.column(1), (Strings{"Alpha", "Unknown Artist", "Unknown Artist"}));

  f.list().userClickRow(1, Click::Toggle);
  EXPECT_EQ(f.edit("Artist").text(), "<<multiple items>>");
  EXPECT_EQ(f.edit("Track").text(), "<<multiple items>>");

  // The marker itself is never written into a row.
  f.edit("Artist").userReplaceText("<<multiple items>>", 18);
  EXPECT_EQ(f.column(1), (Strings{"Alpha", "Unknown Artist", "Unknown Artist"}));

  retype("Artist", "Both");
  EXPECT_EQ(f.column(1), (Strings{"Both", "Both", "Unknown Artist"}));
  f.list().userClickRow(0, Click::Toggle);
  f.list().userClickRow(0, Click::Toggle);
  EXPECT_EQ(f.edit("Artist").text(), "Both");

  // Letter case counts.
  f.list().userClickRow(0);
  retype("Artist", "both");
  f.list().userClickRow(1, Click::Toggle);
  EXPECT_EQ(f.edit("Artist").text(), "<<multiple items>>");
}

TEST_F(MainWindowEditing, WithNoRowSelectedTypingRenamesEveryRow) {
  f.list().userClickRow(0, Click::Toggle);  // deselects the only selected row
  ASSERT_EQ(f.list().selectedCount(), 0);
  EXPECT_EQ(f.edit("Track").text(), "Track 01");  // the fields keep their texts
  retype("Artist", "Everyone");
  EXPECT_EQ(f.column(1), (Strings{"Everyone", "Everyone", "Everyone"}));
  EXPECT_EQ(f.column(2), (Strings{"Track 01", "Track 02", "Track 03"}));
}

TEST_F(MainWindowEditing, EnterStepsToTheNextRowAndWrapsOnlyWithOneRowSelected) {
  f.list().setCell(0, 1, "First Artist");
  f.list().userClickRow(2);
  f.edit("Track").userEnter();
  EXPECT_EQ(f.list().selectedRows(), std::vector<int>{0});
  EXPECT_EQ(f.edit("Track").text(), "Track 01");
  EXPECT_EQ(f.edit("Artist").text(), "First Artist");
  // The whole text is selected, so typing replaces it.
  EXPECT_EQ(f.edit("Track").selectionStart(), 0);
  EXPECT_EQ(f.edit("Track").selectionEnd(), 8);
  f.edit("Track").userType("Intro");
  EXPECT_EQ(f.column(2), (Strings{"Intro", "Track 02", "Track 03"}));

  f.edit("Artist").userEnter();
  EXPECT_EQ(f.list().selectedRows(), std::vector<int>{1});
  EXPECT_EQ(f.edit("Artist").selectionEnd(), static_cast<int>(f.edit("Artist").text().size()));

  f.list().userClickRow(2, Click::Toggle);
  f.edit("Artist").userEnter();
  f.edit("Track").userEnter();
  EXPECT_EQ(f.list().selectedRows(), (std::vector<int>{1, 2}));
  EXPECT_EQ(f.edit("Track").text(), "<<multiple items>>");
}

TEST_F(MainWindowEditing, ButtonsOpenPreferencesAndOnlyEnabledOnesAnswer) {
  EXPECT_TRUE(f.button("Preferences").userClick());
  EXPECT_EQ(f.session().host().preferencesRequests(),
            Strings{"{DAC1B44B-F86A-4150-A6B4-DE7A638702F7}"});

  EXPECT_FALSE(f.button("Cancel copying").userClick());  // disabled while nothing runs
  EXPECT_TRUE(f.button("Copy Selected").userClick());
  EXPECT_TRUE(f.button("Copy All").userClick());
  EXPECT_EQ(f.list().rowCount(), 3);
}
