// The FLTK view of a hand-made model tree under Xvfb: widgets sit at the
// models' rectangles and follow resizes, changes made on other threads
// reach the widgets through the loop, rebuilt children never touch models
// that are gone, timers tick and stop.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "desktop/x_session.h"
#include "host/view/fltk/choice_box.h"
#include "host/view/fltk/fltk_loop.h"
#include "host/view/fltk/label_box.h"
#include "host/view/fltk/list_table.h"
#include "host/view/fltk/model_view.h"
#include "sdk/ui/container.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/icon_button.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"
#include "support/temp_dir.h"

// From FL/x.H, whose X11 macros (None, Bool) clash with GoogleTest.
void fl_open_display();

namespace {

using qom::ui::Placement;
using qomhost::fltk::FltkLoop;
using qomhost::fltk::ModelView;

class Ticker final : public qom::ui::Container {
 public:
  using Container::Container;
  void onTimer(int id) override {
    if (id == 7) ++ticks;
  }
  int ticks = 0;  // window thread only
};

class Picks final : public qom::ui::DropDown {
 public:
  using DropDown::DropDown;
  int picked = -1;  // window thread only

 protected:
  void onPick(int id) override { picked = id; }
};

// Runs FLTK until `done` holds (bounded).
bool pumpUntil(FltkLoop& loop, const std::function<bool()>& done) {
  const auto end = desktop_test::Clock::now() + desktop_test::kWait;
  while (!done()) {
    if (desktop_test::Clock::now() > end) return false;
    Fl::wait(0.05);
    loop.runPending();
  }
  return true;
}

void expectAt(Fl_Widget* widget, const qom::ui::Window& model) {
  ASSERT_NE(widget, nullptr) << model.name();
  const qom::ui::Rect r = model.rootRect();
  EXPECT_EQ(widget->x(), r.x) << model.name();
  EXPECT_EQ(widget->y(), r.y) << model.name();
  EXPECT_EQ(widget->w(), r.width) << model.name();
  EXPECT_EQ(widget->h(), r.height) << model.name();
}

TEST(ModelView, MirrorsModelsAndFollowsTheirChanges) {
  REQUIRE_TOOLS("Xvfb", "xdotool");
  testing_support::TempDir dir;
  desktop_test::XServer x(dir.file("xvfb.log"));
  ASSERT_TRUE(x.ok());
  testing_support::ScopedEnv display("DISPLAY", x.display());
  fl_open_display();

  FltkLoop loop;
  {
    Ticker root;
    root.setLoop(&loop);
    qom::ui::Container panel(&root);
    panel.setPlacement({{0, qom::ui::EdgeMode::Parent}, {29, qom::ui::EdgeMode::Loose},
                        {0, qom::ui::EdgeMode::Parent}, {0, qom::ui::EdgeMode::Parent}});
    qom::ui::Label status(&panel);
    status.setPlacement(Placement::fixed(5, 2, 200, 20));
    status.setText("Ready");
    qom::ui::PushButton button(&panel);
    button.setPlacement(Placement::fixed(210, 2, 100, 25));
    button.setText("Copy & Go");
    qom::ui::Edit edit(&root);
    edit.setPlacement(Placement::fixed(44, 3, 120, 17));
    qom::ui::ListView list(&root);
    list.setPlacement({{0, qom::ui::EdgeMode::Parent}, {64, qom::ui::EdgeMode::Absolute},
                       {0, qom::ui::EdgeMode::Parent}, {-71, qom::ui::EdgeMode::Parent}});
    list.addColumn("Number", 45, 1);
    list.addColumn("Track", 200, 1);
    for (int i = 0; i < 40; ++i) list.setCell(list.addRow("x", static_cast<std::uint32_t>(i + 1)), 1, "Tr\xe8s " + std::to_string(i));
    Picks drop(&root);
    drop.setPlacement(Placement::fixed(300, 41, 200, 20));
    drop.setCaption("No freedb entries");
    drop.setSkin({"korrin.dropdownlist.main.group", "korrin.dropdownlist.list.group"});
    qom::ui::IconButton icon(&root);
    icon.setPlacement(Placement::fixed(520, 2, 33, 33));
    // Damaged PNGs, one claiming 100000 x 100000 pixels: never decoded in
    // full, drawn as a plain face.
    const qom::ui::IconButton::Image huge = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13, 'I', 'H',
                                             'D', 'R', 0, 1, 0x86, 0xa0, 0, 1, 0x86, 0xa0, 8, 6, 0, 0, 0};
    icon.setImages(huge, {1, 2, 3}, {'P', 'N', 'G'}, "g");
    root.resize(640, 420);

    Fl_Group::current(nullptr);
    Fl_Double_Window window(640, 420, "view test");
    window.end();
    // The component's skin file names the drop-down's parts.
    const char* source = std::getenv("RONDEL_SOURCE_DIR");
    const qomhost::fltk::SkinColors colors = qomhost::fltk::skinColorsFromFiles(
        {std::string(source != nullptr ? source : ".") + "/rondel/skin/rondel.xml"});
    auto view = std::make_unique<ModelView>(root, window, colors);
    loop.setSyncHandler([&] { view->sync(); });
    window.show();
    for (qom::ui::Window* model : std::vector<qom::ui::Window*>{&panel, &status, &button, &edit, &list, &drop, &icon})
      expectAt(view->widgetOf(model), *model);
    auto* table = static_cast<qomhost::fltk::ListTable*>(view->widgetOf(&list));
    EXPECT_EQ(table->rows(), 40);
    EXPECT_EQ(table->row_height(39), qomhost::fltk::ListTable::kRowHeight);
    EXPECT_STREQ(static_cast<Fl_Input*>(view->widgetOf(&edit))->value(), "");

    // A resize moves the edge-placed widgets; fixed ones stay.
    window.size(800, 500);
    root.resize(800, 500);
    ASSERT_TRUE(pumpUntil(loop, [&] { return view->widgetOf(&list)->w() == 800; }));
    for (qom::ui::Window* model : std::vector<qom::ui::Window*>{&panel, &status, &list, &edit})
      expectAt(view->widgetOf(model), *model);
    EXPECT_EQ(view->widgetOf(&panel)->y(), 500 - 29);

    // Changes made on another thread arrive through the loop, as UTF-8.
    std::thread worker([&] {
      status.setText("Copying 50%...");
      edit.setText("Caf\xe9");
      list.selectOnly(30);
      list.ensureVisible(30);
      button.setEnabled(false);
      drop.addItem("misc / A / B");
      drop.addItem("rock / A & B");
    });
    worker.join();
    auto* label = static_cast<qomhost::fltk::LabelBox*>(view->widgetOf(&status));
    ASSERT_TRUE(pumpUntil(loop, [&] { return label->shownText() == "Copying 50%..."; }));
    EXPECT_STREQ(static_cast<Fl_Input*>(view->widgetOf(&edit))->value(), "Caf\xc3\xa9");
    // A field the user is not in shows the start of a text set for it.
    EXPECT_EQ(static_cast<Fl_Input*>(view->widgetOf(&edit))->position(), 0);
    EXPECT_FALSE(view->widgetOf(&button)->active());
    int r1 = 0, r2 = 0, c1 = 0, c2 = 0;
    table->visible_cells(r1, r2, c1, c2);
    EXPECT_TRUE(r1 <= 30 && 30 <= r2) << r1 << ".." << r2;

    // The drop-down shows the model's items; a pick reaches the model by id.
    // Its open list has the skin's list part colours.
    auto* choice = static_cast<qomhost::fltk::ChoiceBox*>(view->widgetOf(&drop));
    EXPECT_EQ(choice->color(), fl_rgb_color(0x1E, 0x26, 0x30));
    EXPECT_EQ(choice->textcolor(), fl_rgb_color(0xE6, 0xE9, 0xED));
    EXPECT_EQ(choice->selection_color(), fl_rgb_color(0x4A, 0x6B, 0x8A));
    EXPECT_EQ(colors.parts.size(), 3u);
    ASSERT_EQ(choice->size(), 3);  // two items and the end mark
    EXPECT_STREQ(choice->menu()[0].label(), "misc / A / B");
    choice->value(1);
    choice->do_callback();
    EXPECT_EQ(drop.picked, 1);
    EXPECT_EQ(drop.selectedId(), 1);

    // Children that come and go are rebuilt from the live list only.
    {
      qom::ui::Label extra(&panel);
      extra.setPlacement(Placement::fixed(400, 2, 50, 20));
      root.layout();
      ASSERT_TRUE(pumpUntil(loop, [&] { return view->widgetOf(&extra) != nullptr; }));
      expectAt(view->widgetOf(&extra), extra);
    }
    status.setText("after");
    ASSERT_TRUE(pumpUntil(loop, [&] { return static_cast<qomhost::fltk::LabelBox*>(view->widgetOf(&status))->shownText() == "after"; }));

    // Timers tick on the window thread and stop for good.
    root.startTimer(7, 10);
    ASSERT_TRUE(pumpUntil(loop, [&] { return root.ticks >= 3; }));
    root.stopTimer(7);
    const int ticks = root.ticks;
    for (int i = 0; i < 5; ++i) Fl::wait(0.03);
    EXPECT_EQ(root.ticks, ticks);
    root.startTimer(7, 10);  // left running: the root's end must forget it

    loop.setSyncHandler(nullptr);
    view.reset();
    window.hide();
    Fl::check();  // deferred widget deletions
  }
  for (int i = 0; i < 3; ++i) Fl::wait(0.02);  // no tick may reach the dead root
}

}  // namespace
