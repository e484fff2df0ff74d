// The main window's controls: build order, texts, notify ids, styles,
// fixed rectangles, and the edge placement at several window sizes.
#include "main_window_fixture.h"

using namespace testing_support;
using qom::ui::Rect;
using qom::ui::WindowKind;

namespace {

// What a test can see of one control.
struct Control {
  WindowKind kind;
  std::string text;  // label or button text, or the lookup name of an edit
  int notifyId;
  Rect rect;
  bool enabled;
};

Control describe(qom::ui::Window* w) {
  std::string text = w->name();
  if (auto* label = qom::ui::windowAs<qom::ui::Label>(w)) text = label->text();
  if (auto* b = qom::ui::windowAs<qom::ui::PushButton>(w)) text = b->text();
  return {w->kind(), text, w->notifyId(), w->rect(), w->enabled()};
}

void expectControls(qom::ui::Window* panel, const std::vector<Control>& expected) {
  std::vector<qom::ui::Window*> children = panel->children();
  ASSERT_EQ(children.size(), expected.size()) << panel->name();
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(panel->name() + " child " + std::to_string(i));
    const Control got = describe(children[i]);
    EXPECT_EQ(got.kind, expected[i].kind);
    EXPECT_EQ(got.text, expected[i].text);
    EXPECT_EQ(got.notifyId, expected[i].notifyId);
    EXPECT_EQ(got.rect, expected[i].rect);
    EXPECT_EQ(got.enabled, expected[i].enabled);
  }
}

}  // namespace

TEST(MainWindowLayout, ControlsInBuildOrderWithTheirTextsIdsAndRectangles) {
  MainWindowFixture f(drives({simDrive("SIM", kTwoTracks)}));
  ASSERT_TRUE(f.show());
  qom::ui::Container* window = f.container();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->sizePreference(qom::ui::kSizeMinimumWidth), 560);

  std::vector<qom::ui::Window*> children = window->children();
  ASSERT_EQ(children.size(), 4u);
  EXPECT_EQ(children[0]->name(), "Top panel");
  EXPECT_EQ(children[1]->name(), "Bottom panel");
  EXPECT_EQ(children[2]->name(), "Status");
  EXPECT_EQ(children[3]->name(), "Tracks");

  const WindowKind L = WindowKind::Label, E = WindowKind::Edit, B = WindowKind::PushButton;
  expectControls(children[0], {
      {L, "Artist: ", 0, {2, 4, 40, 15}, true},
      {E, "Artist", 1, {44, 3, 120, 17}, true},
      {L, "Album: ", 0, {2, 24, 40, 15}, true},
      {E, "Album", 0, {44, 23, 120, 17}, true},
      {L, "Track: ", 0, {2, 44, 40, 15}, true},
      {E, "Track", 2, {44, 43, 120, 17}, true},
      {L, "Year: ", 0, {166, 4, 40, 15}, true},
      {E, "Year", 0, {206, 3, 30, 17}, true},
      {L, "Genre: ", 0, {166, 24, 45, 15}, true},
      {E, "Genre", 0, {206, 23, 70, 17}, true},
      {B, "Preferences...", 4, {300, 2, 100, 20}, true},
      {L, "Select freedb data for this disc:", 0, {300, 22, 200, 20}, true},
      {WindowKind::DropDown, "Entries", 9, {300, 41, 200, 20}, true},
  });
  std::vector<qom::ui::Window*> bottom = children[1]->children();
  ASSERT_EQ(bottom.size(), 5u);
  const Control promo = describe(bottom[0]), link = describe(bottom[1]);
  expectControls(children[1], {
      {L, promo.text, 0, {315, -2, 250, 20}, true},
      {L, link.text, 0, {315, 10, 250, 20}, true},
      {B, "Copy Selected", 5, {2, 2, 100, 25}, false},
      {B, "Copy All", 6, {104, 2, 100, 25}, false},
      {B, "Cancel copying", 7, {206, 2, 100, 25}, false},
  });

  // Label styles: the field labels and the promotional label are plain
  // 14-point text; the link label is 16 with a shadow; the status line is
  // centred on a filled bar at the default size.
  for (qom::ui::Window* w : children[0]->children())
    if (auto* label = qom::ui::windowAs<qom::ui::Label>(w)) {
      EXPECT_EQ(label->textSize(), 14) << label->text();
      EXPECT_FALSE(label->shadow()) << label->text();
      EXPECT_FALSE(label->filled()) << label->text();
    }
  auto* promoLabel = qom::ui::windowAs<qom::ui::Label>(bottom[0]);
  auto* linkLabel = qom::ui::windowAs<qom::ui::Label>(bottom[1]);
  EXPECT_EQ(promoLabel->textSize(), 14);
  EXPECT_FALSE(promoLabel->shadow());
  EXPECT_EQ(linkLabel->textSize(), 16);
  EXPECT_TRUE(linkLabel->shadow());
  qom::ui::Label& status = f.status();
  EXPECT_TRUE(status.centred());
  EXPECT_TRUE(status.filled());
  EXPECT_EQ(status.textSize(), 16);
  for (const char* name : {"Preferences", "Copy Selected", "Copy All", "Cancel copying"})
    EXPECT_EQ(f.button(name).textSize(), 14) << name;

  std::vector<std::pair<std::string, int>> columns;
  for (const qom::ui::ListColumn& c : f.list().columns()) {
    columns.emplace_back(c.heading, c.width);
    EXPECT_EQ(c.flags, 1);
  }
  EXPECT_EQ(columns, (std::vector<std::pair<std::string, int>>{
                         {"Number", 45}, {"Artist", 140}, {"Track", 200}, {"Length", 45},
                         {"Status", 90}}));
  EXPECT_EQ(f.list().notifyId(), 3);
  EXPECT_EQ(f.entries().shownText(), "No freedb entries");
}

TEST(MainWindowLayout, PanelsListAndStatusFollowTheWindowSize) {
  MainWindowFixture f(drives({simDrive("SIM", kTwoTracks)}));
  ASSERT_TRUE(f.show());
  // The host frames the window at no less than 640 x 420.
  EXPECT_EQ(f.window()->rect(), (Rect{0, 0, 640, 420}));

  struct Case {
    int width, height;
    Rect top, bottom, status, list;
  };
  const Case cases[] = {
      {560, 400, {0, 0, 560, 65}, {0, 371, 560, 29}, {0, 350, 560, 20}, {0, 64, 560, 265}},
      {800, 600, {0, 0, 800, 65}, {0, 571, 800, 29}, {0, 550, 800, 20}, {0, 64, 800, 465}},
      {560, 135, {0, 0, 560, 65}, {0, 106, 560, 29}, {0, 85, 560, 20}, {0, 64, 560, 0}},
      {560, 134, {0, 0, 560, 65}, {0, 105, 560, 29}, {0, 84, 560, 20}, {0, 64, 560, 0}},
      {560, 100, {0, 0, 560, 65}, {0, 71, 560, 29}, {0, 50, 560, 20}, {0, 64, 560, 0}},
      {300, 40, {0, 0, 300, 65}, {0, 11, 300, 29}, {0, -10, 300, 20}, {0, 64, 300, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    f.frame()->resize(c.width, c.height);
    EXPECT_EQ(f.window()->findByName("Top panel")->rect(), c.top);
    EXPECT_EQ(f.window()->findByName("Bottom panel")->rect(), c.bottom);
    EXPECT_EQ(f.status().rect(), c.status);
    EXPECT_EQ(f.list().rect(), c.list);
    // Panel controls keep their fixed places; the copy buttons sit in the
    // bottom panel wherever it goes.
    EXPECT_EQ(f.button("Copy All").rootRect(), (Rect{104, c.bottom.y + 2, 100, 25}));
    EXPECT_EQ(f.edit("Genre").rootRect(), (Rect{206, 23, 70, 17}));
  }
}
