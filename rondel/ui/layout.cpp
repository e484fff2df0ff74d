// The window's controls: texts, notify ids, lookup names, placement, styles
// and initial states, built in a fixed order.
#include "rondel/ui/entries_drop_down.h"
#include "rondel/ui/main_window.h"

namespace rondel {
namespace {

using qom::ui::Edge;
using qom::ui::EdgeMode;
using qom::ui::Placement;

constexpr int kLabelTextSize = 14;
constexpr int kButtonTextSize = 14;
constexpr int kLinkTextSize = 16;
constexpr int kMinimumWidth = 560;  // the bottom panel's controls reach x = 565

// A panel reports its children's events to the window, which tells them
// apart by the child's notify id.
class Panel final : public qom::ui::Container {
 public:
  explicit Panel(qom::ui::Container& owner) : Container(&owner), owner_(owner) {}
  int onChildNotify(qom::ui::Window* child, int code, std::intptr_t a, std::intptr_t b) override {
    return owner_.onChildNotify(child, code, a, b);
  }

 private:
  qom::ui::Container& owner_;
};

template <class Control>
std::unique_ptr<Control> place(qom::ui::Window& parent, const Placement& placement) {
  auto control = std::make_unique<Control>(&parent);
  control->setPlacement(placement);
  return control;
}

std::unique_ptr<qom::ui::Label> textLabel(qom::ui::Window& panel, const char* text,
                                          const Placement& placement) {
  auto label = place<qom::ui::Label>(panel, placement);
  label->setText(text);
  label->setTextSize(kLabelTextSize);
  label->setShadow(false);
  return label;
}

std::unique_ptr<qom::ui::Edit> field(qom::ui::Window& panel, const char* name, int notifyId,
                                     const Placement& placement) {
  auto edit = place<qom::ui::Edit>(panel, placement);
  edit->setName(name);
  edit->setNotifyId(notifyId);
  return edit;
}

std::unique_ptr<qom::ui::PushButton> button(qom::ui::Window& panel, const char* text,
                                            const char* name, int notifyId, bool enabled,
                                            const Placement& placement) {
  auto b = place<qom::ui::PushButton>(panel, placement);
  b->setText(text);
  b->setTextSize(kButtonTextSize);
  b->setName(name);
  b->setNotifyId(notifyId);
  b->setEnabled(enabled);
  return b;
}

}  // namespace

void MainWindow::buildLayout() {
  const auto fixed = &Placement::fixed;
  auto top = std::make_unique<Panel>(*this);
  top->setName(window::kTopPanel);
  top->setPlacement({{0, EdgeMode::Parent}, {0, EdgeMode::Parent}, {0, EdgeMode::Parent},
                     {65, EdgeMode::Loose}});
  topPanel_ = std::move(top);
  auto bottom = std::make_unique<Panel>(*this);
  bottom->setName(window::kBottomPanel);
  bottom->setPlacement({{0, EdgeMode::Parent}, {29, EdgeMode::Loose}, {0, EdgeMode::Parent},
                        {0, EdgeMode::Parent}});
  bottomPanel_ = std::move(bottom);

  status_ = place<qom::ui::Label>(*this, {{0, EdgeMode::Parent}, {20, EdgeMode::Loose},
                                          {0, EdgeMode::Parent}, {-30, EdgeMode::Parent}});
  status_->setName(window::kStatusLine);
  status_->setCentred(true);
  status_->setFilled(true);

  trackList_ = place<qom::ui::ListView>(*this, {{0, EdgeMode::Parent}, {64, EdgeMode::Absolute},
                                                {0, EdgeMode::Parent}, {-71, EdgeMode::Parent}});
  trackList_->setName(window::kTrackList);
  trackList_->setNotifyId(kIdTrackList);
  trackList_->addColumn("Number", 45, 1);
  trackList_->addColumn("Artist", 140, 1);
  trackList_->addColumn("Track", 200, 1);
  trackList_->addColumn("Length", 45, 1);
  trackList_->addColumn("Status", 90, 1);

  qom::ui::Container& tp = *topPanel_;
  artistLabel_ = textLabel(tp, "Artist: ", fixed(2, 4, 40, 15));
  artistField_ = field(tp, window::kArtistField, kIdArtistField, fixed(44, 3, 120, 17));
  albumLabel_ = textLabel(tp, "Album: ", fixed(2, 24, 40, 15));
  albumField_ = field(tp, window::kAlbumField, 0, fixed(44, 23, 120, 17));
  trackLabel_ = textLabel(tp, "Track: ", fixed(2, 44, 40, 15));
  trackField_ = field(tp, window::kTrackField, kIdTrackField, fixed(44, 43, 120, 17));
  yearLabel_ = textLabel(tp, "Year: ", fixed(166, 4, 40, 15));
  yearField_ = field(tp, window::kYearField, 0, fixed(206, 3, 30, 17));
  genreLabel_ = textLabel(tp, "Genre: ", fixed(166, 24, 45, 15));
  genreField_ = field(tp, window::kGenreField, 0, fixed(206, 23, 70, 17));
  preferences_ = button(tp, "Preferences...", window::kPreferencesButton, kIdPreferences, true,
                        fixed(300, 2, 100, 20));

  qom::ui::Container& bp = *bottomPanel_;
  promoLabel_ = textLabel(bp, "Rondel 2: audio CDs to MP3 and Ogg Vorbis", fixed(315, -2, 250, 20));
  linkLabel_ = place<qom::ui::Label>(bp, fixed(315, 10, 250, 20));
  linkLabel_->setTextSize(kLinkTextSize);

  entriesLabel_ = textLabel(tp, "Select freedb data for this disc:", fixed(300, 22, 200, 20));
  entries_ = std::make_unique<EntriesDropDown>(&tp, *this);
  entries_->setPlacement(fixed(300, 41, 200, 20));
  entries_->setName(window::kEntriesList);
  entries_->setNotifyId(kIdEntries);

  copySelected_ = button(bp, "Copy Selected", window::kCopySelectedButton, kIdCopySelected, false,
                         fixed(2, 2, 100, 25));
  copyAll_ = button(bp, "Copy All", window::kCopyAllButton, kIdCopyAll, false, fixed(104, 2, 100, 25));
  cancel_ = button(bp, "Cancel copying", window::kCancelButton, kIdCancel, false, fixed(206, 2, 100, 25));

  setSizePreference(qom::ui::kSizeMinimumWidth, kMinimumWidth);
}

}  // namespace rondel
