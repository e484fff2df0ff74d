#include "host/view/headless_window.h"

#include "sdk/rondel_window.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"

namespace qomhost {
namespace {

namespace window = rondel::window;

std::string textOf(const qom::ui::Window* w) {
  if (const auto* edit = qom::ui::windowAs<qom::ui::Edit>(w)) return edit->text();
  if (const auto* label = qom::ui::windowAs<qom::ui::Label>(w)) return label->text();
  return {};
}

}  // namespace

HeadlessWindow::HeadlessWindow(HostSession& session) : session_(session) {
  windows_ = std::make_unique<WindowHost>(session_.host(), driver_);
}

HeadlessWindow::~HeadlessWindow() {
  // Windows go before the loop they post to.
  windows_.reset();
}

bool HeadlessWindow::open() {
  for (const HostCore::AutoPopup& popup : session_.host().autoPopups()) {
    if (popup.guid.isNull()) continue;
    qom::ui::Container* frame = windows_->show(popup.guid);
    if (frame == nullptr) continue;
    if (qom::ui::windowAs<qom::ui::ListView>(frame->findByName(window::kTrackList)) != nullptr) {
      root_ = frame;
      shown_ = popup.guid;
      return true;
    }
    windows_->close(popup.guid);
  }
  return false;
}

qom::ui::Window* HeadlessWindow::componentWindow() const {
  return root_ != nullptr ? windows_->window(shown_) : nullptr;
}

bool HeadlessWindow::pickEntry(int index) {
  auto* drop = qom::ui::windowAs<qom::ui::DropDown>(control(window::kEntriesList));
  if (drop == nullptr || index < 0) return false;
  const std::vector<qom::ui::DropDownItem> items = drop->items();
  if (static_cast<std::size_t>(index) >= items.size() || !drop->userPick(items[index].id))
    return false;
  // The pick runs on this (the window) thread; what it posts runs here.
  driver_.runPending();
  return true;
}

qom::ui::Window* HeadlessWindow::control(const std::string& name) const {
  return root_ != nullptr ? root_->findByName(name) : nullptr;
}

bool HeadlessWindow::waitSettled(std::chrono::milliseconds timeout, std::chrono::milliseconds quiet) {
  using Clock = std::chrono::steady_clock;
  std::string last;
  Clock::time_point since = Clock::now();
  return driver_.runUntil(
      [&] {
        const std::string status = textOf(control(window::kStatusLine));
        if (status != last) {
          last = status;
          since = Clock::now();
        }
        // A table of contents that cannot be read stays so until the drive's
        // state changes.
        if (status == window::kStatusReady || status == window::kStatusCannotReadDisc) return true;
        if (status == window::kStatusNoDisc || status == window::kStatusNotReady)
          return Clock::now() - since >= quiet;
        return false;
      },
      timeout);
}

ShownDisc HeadlessWindow::read() const {
  ShownDisc disc;
  disc.status = textOf(control(window::kStatusLine));
  disc.artist = textOf(control(window::kArtistField));
  disc.album = textOf(control(window::kAlbumField));
  disc.year = textOf(control(window::kYearField));
  disc.genre = textOf(control(window::kGenreField));
  disc.track = textOf(control(window::kTrackField));
  if (auto* list = qom::ui::windowAs<qom::ui::ListView>(control(window::kTrackList))) {
    for (int r = 0; r < list->rowCount(); ++r)
      disc.tracks.push_back({list->itemData(r), list->cell(r, window::kColumnNumber),
                             list->cell(r, window::kColumnArtist), list->cell(r, window::kColumnTrack),
                             list->cell(r, window::kColumnLength), list->cell(r, window::kColumnStatus)});
  }
  if (auto* drop = qom::ui::windowAs<qom::ui::DropDown>(control(window::kEntriesList))) {
    for (const qom::ui::DropDownItem& item : drop->items()) disc.entries.push_back(item.text);
    disc.entryShown = drop->shownText();
    disc.entryIndex = drop->selectedId();
  }
  if (const qom::ui::Window* owner = componentWindow()) {
    disc.discId = owner->property(window::kDiscIdProperty);
    disc.queryUrl = owner->property(window::kQueryProperty);
    const std::string polled = owner->property(window::kPolledDriveProperty);
    if (!polled.empty() && polled.size() < 4 &&
        polled.find_first_not_of("0123456789") == std::string::npos)
      disc.drive = std::stoi(polled);
  }
  return disc;
}

}  // namespace qomhost
