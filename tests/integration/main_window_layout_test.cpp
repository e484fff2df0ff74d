// The main window's controls: build order, texts, notify ids, styles, the
// rules their places keep, and the edge placement at the size limits.
#include <algorithm>

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
  bool enabled;
};

Control describe(qom::ui::Window* w) {
  std::string text = w->name();
  if (auto* label = qom::ui::windowAs<qom::ui::Label>(w)) text = label->text();
  if (auto* b = qom::ui::windowAs<qom::ui::PushButton>(w)) text = b->text();
  return {w->kind(), text, w->notifyId(), w->enabled()};
}

bool overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// No two of the controls overlap, and each lies inside the panel's height.
void expectApart(const std::vector<qom::ui::Window*>& controls, int panelHeight) {
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const Rect r = controls[i]->rect();
    EXPECT_GE(r.x, 0) << controls[i]->name();
    EXPECT_GE(r.y, 0) << controls[i]->name();
    EXPECT_LE(r.y + r.height, panelHeight) << controls[i]->name();
    for (std::size_t j = i + 1; j < controls.size(); ++j)
      EXPECT_FALSE(overlap(r, controls[j]->rect())) << controls[i]->name() << " / " << controls[j]->name();
  }
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
    EXPECT_EQ(got.enabled, expected[i].enabled);
  }
}

}  // namespace

TEST(MainWindowLayout, ControlsInBuildOrderWithTheirTextsIdsAndPlaces) {
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
      {L, "Artist: ", 0, true},  {E, "Artist", 1, true}, {L, "Album: ", 0, true},
      {E, "Album", 0, true},     {L, "Track: ", 0, true}, {E, "Track", 2, true},
      {L, "Year: ", 0, true},    {E, "Year", 0, true},   {L, "Genre: ", 0, true},
      {E, "Genre", 0, true},     {B, "Preferences...", 4, true},
      {L, "Select freedb data for this disc:", 0, true},
      {WindowKind::DropDown, "Entries", 9, true},
  });
  // Three columns: label and field pairs on three lines, two more pairs,
  // then the button, the drop-down and its label; all inside the panel.
  std::vector<qom::ui::Window*> top = children[0]->children();
  const auto right = [](qom::ui::Window* w) { return w->rect().x + w->rect().width; };
  for (std::size_t i = 0; i < top.size(); ++i) {
    EXPECT_GE(top[i]->rect().y, 0) << top[i]->name();
    EXPECT_LE(top[i]->rect().y + top[i]->rect().height, 65) << top[i]->name();
    if (i < 10) {
      EXPECT_LE(right(top[i]), top[i < 6 ? 6 : 10]->rect().x) << top[i]->name();
    }
  }
  for (std::size_t i = 0; i < 10; i += 2) {
    EXPECT_LT(top[i]->rect().x, top[i + 1]->rect().x) << top[i + 1]->name();
    EXPECT_NEAR(top[i]->rect().y, top[i + 1]->rect().y, 1) << top[i + 1]->name();
  }
  std::vector<qom::ui::Window*> bottom = children[1]->children();
  ASSERT_EQ(bottom.size(), 5u);
  const Control promo = describe(bottom[0]), link = describe(bottom[1]);
  expectControls(children[1], {
      {L, promo.text, 0, true},
      {L, link.text, 0, true},
      {B, "Copy Selected", 5, false},
      {B, "Copy All", 6, false},
      {B, "Cancel copying", 7, false},
  });
  // The copy buttons side by side; the two labels to their right, reaching
  // no further than a few pixels past the minimum width.
  expectApart({bottom[2], bottom[3], bottom[4]}, 29);
  for (qom::ui::Window* label : {bottom[0], bottom[1]}) {
    EXPECT_GT(label->rect().x, bottom[4]->rect().x + bottom[4]->rect().width);
    EXPECT_LE(label->rect().x + label->rect().width, 565);
  }

  // Label styles: the field labels and the promotional label are plain
  // 14-point text; the link label is 16 with a shadow; the status line is
  // centred on a filled bar at the default size.
  top.push_back(bottom[0]);
  for (qom::ui::Window* w : top)
    if (auto* label = qom::ui::windowAs<qom::ui::Label>(w)) {
      EXPECT_EQ(label->textSize(), 14) << label->text();
      EXPECT_FALSE(label->shadow()) << label->text();
      EXPECT_FALSE(label->filled()) << label->text();
    }
  auto* linkLabel = qom::ui::windowAs<qom::ui::Label>(bottom[1]);
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

  // Top panel 65 high at the top, bottom panel 29 high at the bottom, the
  // status line 20 high 1 above it, the list from y 64 to 71 above the
  // bottom and never less than empty. At the edges: the list's last pixel
  // row (136), empty (135), would be negative (134); and a window below the
  // minimum width and shorter than the panels.
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{800, 600}, {560, 136}, {560, 135}, {560, 134}, {300, 40}}) {
    SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
    f.frame()->resize(w, h);
    EXPECT_EQ(f.window()->findByName("Top panel")->rect(), (Rect{0, 0, w, 65}));
    EXPECT_EQ(f.window()->findByName("Bottom panel")->rect(), (Rect{0, h - 29, w, 29}));
    EXPECT_EQ(f.status().rect(), (Rect{0, h - 50, w, 20}));
    EXPECT_EQ(f.list().rect(), (Rect{0, 64, w, std::max(0, h - 135)}));
    // Panel controls keep their fixed places; the copy buttons sit in the
    // bottom panel wherever it goes.
    EXPECT_EQ(f.button("Copy All").rootRect(), (Rect{104, h - 29 + 2, 100, 25}));
    EXPECT_EQ(f.edit("Genre").rootRect(), (Rect{206, 23, 70, 17}));
  }
}
