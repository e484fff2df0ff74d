// The component's real window in the desktop view, in this process under an
// Xvfb of its own: the table headers and the component's own status texts
// read whole in the layout's column widths, and so do the labels; a text
// still too long ends with "…" and is the tooltip of its cell or field.
// GoogleTest first: the X11 headers some FLTK headers bring define None.
#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "desktop/x_session.h"
#include "host/view/fltk/desktop_view.h"
#include "host/view/fltk/edit_input.h"
#include "host/view/fltk/label_box.h"
#include "host/view/fltk/list_table.h"
#include "host/view/fltk/text_fit.h"
#include "host/view/window_host.h"
#include "integration/main_window_fixture.h"
#include "sdk/rondel_window.h"

// From FL/x.H, whose X11 macros (None, Bool) clash with GoogleTest.
void fl_open_display();

namespace {

using namespace testing_support;
namespace fltk = qomhost::fltk;

constexpr const char* kEllipsis = "\xE2\x80\xA6";

bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Runs FLTK and the loop's posted tasks until `done` holds (bounded).
bool pumpUntil(fltk::FltkLoop& loop, const std::function<bool()>& done) {
  return desktop_test::waitFor([&] {
    Fl::wait(0.02);
    loop.runPending();
    Fl::flush();
    return done();
  });
}

TEST(ReadableWindow, HeadersStatusTextsAndLabelsFitAndLongTextsEndWithAnEllipsis) {
  REQUIRE_TOOLS("Xvfb", "xdotool");
  TempDir dir;
  desktop_test::XServer x(dir.file("xvfb.log"));
  ASSERT_TRUE(x.ok());
  ScopedEnv display("DISPLAY", x.display());
  fl_open_display();

  HostFixture host(drives({simDrive("SIM", tracks({12, 12, 12}))}), 0);
  auto session = host.start();
  ASSERT_NE(session->findItem("Use Freedb"), nullptr);
  ASSERT_TRUE(session->findItem("Use Freedb")->setText("0"));
  fltk::FltkLoop loop;
  {
    qomhost::WindowHost windows(session->host(), loop);
    fltk::DesktopView view(*session, windows, loop);
    windows.showAutoPopups();
    qom::ui::Container* frame = windows.frame(kRondelGuid);
    ASSERT_NE(frame, nullptr);
    auto& list = *findControl<qom::ui::ListView>(frame, rondel::window::kTrackList);
    ASSERT_TRUE(pumpUntil(loop, [&] { return list.rowCount() == 3; }));
    auto* table = static_cast<fltk::ListTable*>(view.widgetOf(&list));
    ASSERT_NE(table, nullptr);

    // Every header whole in its column.
    const std::vector<qom::ui::ListColumn> columns = list.columns();
    ASSERT_EQ(columns.size(), 5u);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(table->shownHeading(c), columns[static_cast<std::size_t>(c)].heading);

    // The statuses a copy shows fit the Status column; an error that does
    // not is cut with "…" and is the cell's tooltip, as is a long title.
    const int status = rondel::window::kColumnStatus, title = rondel::window::kColumnTrack;
    for (const std::string text : {"Copying 0%...", "Copying 67%...", "Copying 100%...", "Copied", "Cancelled"}) {
      list.setCell(0, status, text);
      ASSERT_TRUE(pumpUntil(loop, [&] { return table->shownCell(0, status) == text; })) << text;
      EXPECT_EQ(table->cellTip(0, status), "") << text;
    }
    const std::string error = "Error: ACDIInitCompress() failed!";
    const std::string longTitle(60, 'W');
    list.setCell(1, status, error);
    list.setCell(2, title, longTitle);
    ASSERT_TRUE(pumpUntil(loop, [&] { return table->cellTip(1, status) == error; }));
    const std::string shown = table->shownCell(1, status);
    EXPECT_TRUE(endsWith(shown, kEllipsis)) << shown;
    EXPECT_EQ(shown.rfind("Error: ", 0), 0u) << shown;
    fl_font(fltk::windowFont(), fltk::kWindowTextSize);
    EXPECT_LE(fl_width(shown.c_str()), columns[status].width - fltk::kCellPaddingLeft - fltk::kCellPaddingRight);
    EXPECT_EQ(table->cellTip(2, title), longTitle);
    EXPECT_TRUE(endsWith(table->shownCell(2, title), kEllipsis));
    EXPECT_EQ(table->cellTip(2, rondel::window::kColumnArtist), "");

    // The labels ("Genre: " in its 45 pixels) read whole; a field whose
    // text is wider than it offers the whole text as a tooltip.
    for (const char* field : {"Artist: ", "Album: ", "Track: ", "Year: ", "Genre: "}) {
      fltk::LabelBox* found = nullptr;
      for (qom::ui::Window* child : findControl<qom::ui::Container>(frame, rondel::window::kTopPanel)->children())
        if (auto* label = qom::ui::windowAs<qom::ui::Label>(child); label != nullptr && label->text() == field)
          found = static_cast<fltk::LabelBox*>(view.widgetOf(label));
      ASSERT_NE(found, nullptr) << field;
      EXPECT_EQ(found->drawnText(), found->shownText()) << field;
      EXPECT_EQ(found->tooltip(), nullptr) << field;
    }
    auto& album = *findControl<qom::ui::Edit>(frame, rondel::window::kAlbumField);
    auto* albumInput = static_cast<fltk::EditInput*>(view.widgetOf(&album));
    album.setText("A Rather Long Album Title That Will Not Fit");
    ASSERT_TRUE(pumpUntil(loop, [&] { return albumInput->tooltip() != nullptr; }));
    EXPECT_STREQ(albumInput->tooltip(), "A Rather Long Album Title That Will Not Fit");
    album.setText("Short");
    ASSERT_TRUE(pumpUntil(loop, [&] { return albumInput->tooltip() == nullptr; }));

    list.setCell(0, status, "Copying 67%...");
    ASSERT_TRUE(pumpUntil(loop, [&] { return table->shownCell(0, status) == "Copying 67%..."; }));
    for (int i = 0; i < 5; ++i) pumpUntil(loop, [] { return true; });
    desktop_test::screenshot(x, "readable-01-cells");
    windows.closeAll();
  }
  Fl::check();  // deferred widget deletions
}

}  // namespace
