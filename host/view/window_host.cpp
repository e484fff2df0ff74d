#include "host/view/window_host.h"

#include <algorithm>

#include "sdk/ui/icon_button.h"

namespace qomhost {

int LauncherBar::onChildNotify(qom::ui::Window*, int code, std::intptr_t a, std::intptr_t) {
  if (code != qom::ui::kNotifyHover) return 0;
  {
    std::lock_guard<std::mutex> lock(hoverMutex_);
    hover_ = a != 0 ? reinterpret_cast<const char*>(a) : "";
  }
  changed();
  return 0;
}

std::string LauncherBar::hoverText() const {
  std::lock_guard<std::mutex> lock(hoverMutex_);
  return hover_;
}

WindowHost::WindowHost(HostCore& host, qom::ui::EventLoop& loop)
    : host_(host), loop_(loop), bar_(nullptr) {
  bar_.setLoop(&loop_);
  host_.setShowWindowHandler([this](const qom::Guid& guid, bool show) {
    if (show) return this->show(guid) != nullptr;
    hide(guid);
    return false;
  });
}

WindowHost::~WindowHost() {
  host_.setShowWindowHandler(nullptr);
  while (!made_.empty()) {
    auto it = made_.begin();
    Shown s = std::move(it->second);
    made_.erase(it);
    host_.destroyWindow(s.created);
  }
  for (const HostCore::CreatedWindow& icon : icons_) host_.destroyWindow(icon);
}

qom::ui::Container* WindowHost::show(const qom::Guid& guid) {
  auto found = made_.find(guid.toString());
  if (found != made_.end()) {
    qom::ui::Container* frame = found->second.frame.get();
    if (!found->second.shown) {
      found->second.shown = true;
      host_.setWindowShown(guid, true);
      tellIcons(guid, true);
      if (listener_) listener_(guid, frame, FrameChange::Shown);
    }
    return frame;
  }
  Shown s;
  s.frame = std::make_unique<qom::ui::Container>(nullptr);
  s.frame->setLoop(&loop_);
  s.created = host_.createWindowByGuid(guid, s.frame.get());
  if (!s.created) return nullptr;
  auto [w, h] = frameSize(s.created.window);
  s.frame->setTitle(description(guid));
  s.frame->resize(w, h);
  qom::ui::Container* frame = s.frame.get();
  made_.emplace(guid.toString(), std::move(s));
  host_.setWindowShown(guid, true);
  tellIcons(guid, true);
  if (listener_) listener_(guid, frame, FrameChange::Shown);
  return frame;
}

void WindowHost::hide(const qom::Guid& guid) {
  auto found = made_.find(guid.toString());
  if (found == made_.end() || !found->second.shown) return;
  found->second.shown = false;
  if (listener_) listener_(guid, found->second.frame.get(), FrameChange::Hidden);
  host_.setWindowShown(guid, false);
  tellIcons(guid, false);
}

void WindowHost::close(const qom::Guid& guid) { destroy(guid.toString()); }

void WindowHost::closeAll() {
  while (!made_.empty()) destroy(made_.begin()->first);
}

void WindowHost::destroy(std::string key) {
  auto found = made_.find(key);
  if (found == made_.end()) return;
  Shown s = std::move(found->second);
  made_.erase(found);
  const qom::Guid guid = qom::Guid::parse(key).value_or(qom::kNullGuid);
  if (listener_) listener_(guid, s.frame.get(), FrameChange::Closed);
  host_.destroyWindow(s.created);
  host_.setWindowShown(guid, false);
  tellIcons(guid, false);
}

void WindowHost::showAutoPopups() {
  for (const HostCore::AutoPopup& popup : host_.autoPopups())
    if (!popup.guid.isNull()) show(popup.guid);
}

qom::ui::Container* WindowHost::frame(const qom::Guid& guid) const {
  auto found = made_.find(guid.toString());
  return found == made_.end() ? nullptr : found->second.frame.get();
}

qom::ui::Window* WindowHost::window(const qom::Guid& guid) const {
  auto found = made_.find(guid.toString());
  return found == made_.end() ? nullptr : found->second.created.window;
}

bool WindowHost::isShown(const qom::Guid& guid) const {
  auto found = made_.find(guid.toString());
  return found != made_.end() && found->second.shown;
}

std::vector<qom::Guid> WindowHost::shownWindows() const {
  std::vector<qom::Guid> guids;
  for (const auto& [text, s] : made_)
    if (s.shown) guids.push_back(qom::Guid::parse(text).value_or(qom::kNullGuid));
  return guids;
}

std::string WindowHost::description(const qom::Guid& guid) const {
  for (const HostCore::AutoPopup& popup : host_.autoPopups())
    if (popup.guid == guid) return popup.description;
  return {};
}

void WindowHost::buildLauncherBar() {
  int x = 0;
  for (HostCore::CreatedWindow icon : host_.createWindowsOfType("buck", 0, &bar_)) {
    icon.window->setPlacement(qom::ui::Placement::fixed(x, 0, 33, 33));
    x += 35;
    icons_.push_back(icon);
  }
  bar_.resize(std::max(x, 35), 33);
}

void WindowHost::tellIcons(const qom::Guid& guid, bool shown) {
  for (const HostCore::CreatedWindow& icon : icons_)
    if (auto* button = qom::ui::windowAs<qom::ui::IconButton>(icon.window))
      button->onWindowShown(guid, shown);
}

int WindowHost::minimumWidth(const qom::Guid& guid) const {
  const auto* c = qom::ui::windowAs<qom::ui::Container>(window(guid));
  return c != nullptr ? c->sizePreference(qom::ui::kSizeMinimumWidth) : 0;
}

std::pair<int, int> WindowHost::frameSize(const qom::ui::Window* window) {
  int w = 640, h = 420;
  if (const auto* c = qom::ui::windowAs<qom::ui::Container>(window)) {
    w = std::max({w, c->sizePreference(qom::ui::kSizeSuggestedWidth),
                  c->sizePreference(qom::ui::kSizeMinimumWidth)});
    h = std::max(h, c->sizePreference(qom::ui::kSizeSuggestedHeight));
  }
  return {w, h};
}

}  // namespace qomhost
