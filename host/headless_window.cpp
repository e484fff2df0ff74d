#include "host/headless_window.h"

#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"

namespace qomhost {
namespace {

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
    if (qom::ui::windowAs<qom::ui::ListView>(frame->findByName("Tracks")) != nullptr) {
      root_ = frame;
      shown_ = popup.guid;
      return true;
    }
    windows_->hide(popup.guid);
  }
  return false;
}

qom::ui::Window* HeadlessWindow::componentWindow() const {
  return root_ != nullptr ? windows_->window(shown_) : nullptr;
}

bool HeadlessWindow::pickEntry(int index) {
  auto* drop = qom::ui::windowAs<qom::ui::DropDown>(control("Entries"));
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
        const std::string status = textOf(control("Status"));
        if (status != last) {
          last = status;
          since = Clock::now();
        }
        // "Cannot Read Disc" stays until the drive's state changes.
        if (status == "Ready" || status == kStatusCannotReadDisc) return true;
        if (status == "No Disc" || status == "Not Ready") return Clock::now() - since >= quiet;
        return false;
      },
      timeout);
}

ShownDisc HeadlessWindow::read() const {
  ShownDisc disc;
  disc.status = textOf(control("Status"));
  disc.artist = textOf(control("Artist"));
  disc.album = textOf(control("Album"));
  disc.year = textOf(control("Year"));
  disc.genre = textOf(control("Genre"));
  disc.track = textOf(control("Track"));
  if (auto* list = qom::ui::windowAs<qom::ui::ListView>(control("Tracks"))) {
    for (int r = 0; r < list->rowCount(); ++r)
      disc.tracks.push_back({list->itemData(r), list->cell(r, 0), list->cell(r, 1), list->cell(r, 2),
                             list->cell(r, 3), list->cell(r, 4)});
  }
  if (auto* drop = qom::ui::windowAs<qom::ui::DropDown>(control("Entries"))) {
    for (const qom::ui::DropDownItem& item : drop->items()) disc.entries.push_back(item.text);
    disc.entryShown = drop->shownText();
    disc.entryIndex = drop->selectedId();
  }
  if (const qom::ui::Window* window = componentWindow()) {
    disc.discId = window->property("freedb.discid");
    disc.queryUrl = window->property("freedb.query");
    const std::string polled = window->property("drive.polled");
    if (!polled.empty() && polled.size() < 4 &&
        polled.find_first_not_of("0123456789") == std::string::npos)
      disc.drive = std::stoi(polled);
  }
  return disc;
}

}  // namespace qomhost
