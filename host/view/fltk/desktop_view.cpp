#include "host/view/fltk/desktop_view.h"

#include <FL/Fl.H>

#include <algorithm>

#include "host/view/fltk/bound.h"
#include "host/view/fltk/folder_chooser.h"
#include "host/view/fltk/preferences_window.h"
#include "platform/winpath.h"
#include "sdk/config.h"
#include "host/view/fltk/verdict_title.h"
#include "sdk/ui/container.h"

namespace qomhost::fltk {

// One host frame on screen. The models lay out in the window's size; a
// resize by the user resizes the frame model and re-syncs at once.
class DesktopView::FrameWindow final : public Fl_Double_Window {
 public:
  FrameWindow(DesktopView& owner, const qom::Guid& guid, qom::ui::Container& frame)
      : Fl_Double_Window(frame.rect().width, frame.rect().height), owner_(owner), guid_(guid), frame_(frame) {
    end();
    color(owner.colors_.windowBackground);
    title_ = toFltk(titleOf(frame));
    label(title_.c_str());
    view_ = std::make_unique<ModelView>(frame, *this, owner.colors_);
    size_range(std::max(owner.windows_.minimumWidth(guid), 100), 100);
    resizable(this);
    callback(&FrameWindow::onClose, this);
  }
  ~FrameWindow() override { view_.reset(); }

  void resize(int x, int y, int w, int h) override {
    const bool sized = w != this->w() || h != this->h();
    Fl_Double_Window::resize(x, y, w, h);
    if (!sized || !view_) return;
    frame_.resize(w, h);
    view_->sync();
  }

  // Lets go of the models before the window itself goes (deferred).
  void detach() { view_.reset(); }
  ModelView* view() const { return view_.get(); }

  void syncTitle() {
    std::string title = toFltk(titleOf(frame_)) + verdictTitle(owner_.windows_.window(guid_));
    if (title == title_) return;
    title_ = std::move(title);
    label(title_.c_str());
  }

 private:
  // The component window's own title, else the frame's (its description).
  std::string titleOf(qom::ui::Container& frame) const {
    if (const auto* window = qom::ui::windowAs<qom::ui::Container>(owner_.windows_.window(guid_)))
      if (std::string own = window->title(); !own.empty()) return own;
    return frame.title();
  }
  static void onClose(Fl_Widget*, void* self) {
    auto* frame = static_cast<FrameWindow*>(self);
    // Closing the frame only hides the window (its copy and edits go on);
    // it goes through the host so the launcher icon follows, and the view
    // learns of it through the frame listener.
    frame->owner_.windows_.hide(frame->guid_);
  }

  DesktopView& owner_;
  const qom::Guid guid_;
  qom::ui::Container& frame_;
  std::string title_;
  std::unique_ptr<ModelView> view_;
};

DesktopView::DesktopView(HostSession& session, WindowHost& windows, FltkLoop& loop)
    : session_(session), windows_(windows), loop_(loop), colors_(loadSkinColors(session.host())) {
  windows_.setFrameListener(
      [this](const qom::Guid& guid, qom::ui::Container* frame, WindowHost::FrameChange change) {
        frameChanged(guid, frame, change);
      });
  loop_.setSyncHandler([this] { sync(); });
  // FLTK's own directory chooser, not GTK's: GTK prints warnings on stderr
  // where its user folders are missing (a fresh account, a container) and
  // reads settings the host does not control.
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);
  // Before any folder was chosen, the chooser opens in "Output Folder".
  setChooserStart([this]() -> std::string {
    qom::ConfigItem* item = session_.findItem("Output Folder");
    if (item == nullptr) return {};
    return platform::toNativePath(item->text()).value_or("");
  });
  session_.host().setOpenPreferencesHandler([this](const std::string& guidText) {
    if (loop_.isWindowThread())
      openPreferences(guidText);
    else
      loop_.post(nullptr, [this, guidText] { openPreferences(guidText); });
  });
}

DesktopView::~DesktopView() {
  session_.host().setOpenPreferencesHandler(nullptr);
  setChooserStart(nullptr);
  loop_.setSyncHandler(nullptr);
  windows_.setFrameListener(nullptr);
  preferences_.reset();
  launcherView_.reset();
  launcher_.reset();
  for (auto& [text, frame] : frames_) frame->detach();
  frames_.clear();
}

void DesktopView::frameChanged(const qom::Guid& guid, qom::ui::Container* frame, WindowHost::FrameChange change) {
  const std::string key = guid.toString();
  auto found = frames_.find(key);
  switch (change) {
    case WindowHost::FrameChange::Hidden:
      // The models live on (a copy keeps running); their widgets wait in
      // the hidden window.
      if (found != frames_.end()) found->second->hide();
      return;
    case WindowHost::FrameChange::Closed:
      if (found == frames_.end()) return;
      found->second->detach();
      // The close callback of this very window may be running.
      Fl::delete_widget(found->second.release());
      frames_.erase(found);
      return;
    case WindowHost::FrameChange::Shown:
      break;
  }
  if (found != frames_.end()) {
    // The same window as before, where it was.
    found->second->show();
    return;
  }
  if (frame == nullptr) return;
  auto window = std::make_unique<FrameWindow>(*this, guid, *frame);
  // Below the launcher bar, cascading, for displays without a window
  // manager to place them.
  const int offset = 24 * static_cast<int>(frames_.size() % 8);
  window->position(10 + offset, 110 + offset);
  window->show();
  frames_.emplace(key, std::move(window));
}

void DesktopView::closeAllFrames() { windows_.closeAll(); }

void DesktopView::showLauncherBar() {
  qomhost::LauncherBar& bar = windows_.launcherBar();
  const int barWidth = std::max(bar.rect().width, 35);
  const int width = std::max(barWidth + 120, 320), height = 33 + 24;
  Fl_Group::current(nullptr);
  launcher_ = std::make_unique<Fl_Double_Window>(width, height, "qomhost");
  launcher_->color(colors_.windowBackground);
  auto* prefs = new Fl_Button(width - 112, 4, 108, 25, "Preferences");
  prefs->callback([](Fl_Widget*, void* self) { static_cast<DesktopView*>(self)->openPreferences(""); }, this);
  hoverBox_ = new Fl_Box(0, 34, width, 22);
  hoverBox_->box(FL_FLAT_BOX);
  hoverBox_->color(colors_.textBarBackground);
  hoverBox_->labelcolor(colors_.textBarText);
  hoverBox_->labelsize(12);
  hoverBox_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  launcher_->end();
  launcherView_ = std::make_unique<ModelView>(bar, *launcher_, colors_);
  // Closing the bar ends the program.
  launcher_->callback([](Fl_Widget*, void* loop) { static_cast<FltkLoop*>(loop)->quit(); }, &loop_);
  launcher_->position(10, 10);
  launcher_->show();
  sync();
}

void DesktopView::openPreferences(const std::string& guidText) {
  if (!preferences_) preferences_ = std::make_unique<PreferencesWindow>(session_);
  preferences_->open(guidText);
}

void DesktopView::sync() {
  for (auto& [text, frame] : frames_) {
    if (ModelView* view = frame->view()) view->sync();
    frame->syncTitle();
  }
  if (launcherView_) launcherView_->sync();
  if (hoverBox_ != nullptr) {
    std::string text = escapeLabel(toFltk(windows_.launcherBar().hoverText()));
    if (text != hoverText_) {
      hoverText_ = std::move(text);
      hoverBox_->copy_label((" " + hoverText_).c_str());
    }
  }
}

nlohmann::json DesktopView::preferencesState() const {
  return preferences_ ? preferences_->describe() : nlohmann::json();
}

Fl_Double_Window* DesktopView::frameWindow(const qom::Guid& guid) const {
  auto found = frames_.find(guid.toString());
  return found == frames_.end() ? nullptr : found->second.get();
}

Fl_Widget* DesktopView::widgetOf(const qom::ui::Window* model) const {
  for (const auto& [text, frame] : frames_)
    if (ModelView* view = frame->view())
      if (Fl_Widget* w = view->widgetOf(model)) return w;
  return launcherView_ ? launcherView_->widgetOf(model) : nullptr;
}

}  // namespace qomhost::fltk
