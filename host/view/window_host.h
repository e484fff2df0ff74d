#pragma once
// Shows components' windows in host frames and keeps the launcher bar, for
// any view: one root frame per shown window (the window the component's
// creator makes fills it), and one bar holding each component's launcher
// icon. Installs itself as the host core's show handler, so launcher clicks
// (message 4252) show and hide windows. A hidden window stays alive (its
// copy, edits and entries go on) until it is closed or the host ends.
// Window thread only.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/core/host_core.h"
#include "sdk/ui/container.h"
#include "sdk/ui/event_loop.h"

namespace qomhost {

// The bar that holds launcher icons. It remembers the text of the icon the
// pointer is over (notification 17000), for the view to show.
class LauncherBar final : public qom::ui::Container {
 public:
  using qom::ui::Container::Container;
  int onChildNotify(qom::ui::Window* child, int code, std::intptr_t a, std::intptr_t b) override;
  std::string hoverText() const;

 private:
  mutable std::mutex hoverMutex_;
  std::string hover_;
};

class WindowHost {
 public:
  WindowHost(HostCore& host, qom::ui::EventLoop& loop);
  // Destroys every window and icon it made, through their creators.
  ~WindowHost();
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  // Shows the window with this GUID: the hidden one again, else a new
  // frame with the window from the creator that makes it, laid out at its
  // preferred size. Answers the frame (the existing one when already
  // there), or null when no creator makes such a window.
  qom::ui::Container* show(const qom::Guid& guid);
  // Takes the window off the screen and keeps it (and its frame) alive.
  void hide(const qom::Guid& guid);
  // Destroys the window (through its creator) and its frame, shown or not.
  void close(const qom::Guid& guid);
  // Closes every window, shown or hidden.
  void closeAll();
  // Shows every auto-popup window the components registered.
  void showAutoPopups();

  // The frame and the component's window inside it, shown or hidden; null
  // when there is none.
  qom::ui::Container* frame(const qom::Guid& guid) const;
  qom::ui::Window* window(const qom::Guid& guid) const;
  bool isShown(const qom::Guid& guid) const;
  // The windows on screen (hidden ones left out).
  std::vector<qom::Guid> shownWindows() const;
  // The smallest width the shown window's contents fit in (0: no such
  // preference or no such window).
  int minimumWidth(const qom::Guid& guid) const;
  // Description of a registered auto-popup window ("" if unknown).
  std::string description(const qom::Guid& guid) const;

  // Asks every window creator for its launcher icon (type "buck", index 0)
  // and puts the icons in the bar, one after another.
  void buildLauncherBar();
  LauncherBar& launcherBar() { return bar_; }

  // The view learns of frames that are shown, hidden (the frame lives on)
  // and closed (told before the frame and its window are destroyed).
  enum class FrameChange { Shown, Hidden, Closed };
  using FrameListener = std::function<void(const qom::Guid&, qom::ui::Container* frame, FrameChange)>;
  void setFrameListener(FrameListener listener) { listener_ = std::move(listener); }

  // The size a new frame gets: the window's suggested width (at least its
  // minimum width) and suggested height, but never less than 640 x 420.
  static std::pair<int, int> frameSize(const qom::ui::Window* window);

 private:
  struct Shown {
    std::unique_ptr<qom::ui::Container> frame;
    HostCore::CreatedWindow created;
    bool shown = true;
  };
  void destroy(std::string key);  // a copy: the map entry it names goes
  void tellIcons(const qom::Guid& guid, bool shown);

  HostCore& host_;
  qom::ui::EventLoop& loop_;
  LauncherBar bar_;
  std::vector<HostCore::CreatedWindow> icons_;
  std::map<std::string, Shown> made_;  // shown and hidden windows, by GUID text
  FrameListener listener_;
};

}  // namespace qomhost
