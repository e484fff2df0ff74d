#pragma once
// The desktop: one FLTK window per host frame (from WindowHost's frame
// listener), the launcher bar window ("qomhost") with each component's icon,
// the hovered icon's text and a "Preferences" button, and the preferences
// window. Window thread only.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>

#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "host/core/host_session.h"
#include "host/view/fltk/fltk_loop.h"
#include "host/view/fltk/model_view.h"
#include "host/view/fltk/skin_colors.h"
#include "host/view/window_host.h"

namespace qomhost::fltk {

class PreferencesWindow;

class DesktopView {
 public:
  DesktopView(HostSession& session, WindowHost& windows, FltkLoop& loop);
  // Closes the preferences window and the launcher bar; the frames must
  // have been closed through WindowHost before (closeAllFrames).
  ~DesktopView();
  DesktopView(const DesktopView&) = delete;
  DesktopView& operator=(const DesktopView&) = delete;

  // Builds and shows the launcher bar window.
  void showLauncherBar();
  // Closes every frame, shown or hidden, through WindowHost, so each
  // component window is destroyed by its creator while the view lets go of
  // it first.
  void closeAllFrames();
  // Opens the preferences window on the page with this GUID text (unknown:
  // the first page).
  void openPreferences(const std::string& guidText);
  // Copies every model's state into its widgets.
  void sync();

  // The preferences window's description, or null when never opened.
  nlohmann::json preferencesState() const;
  // The FLTK window of a shown frame, or null.
  Fl_Double_Window* frameWindow(const qom::Guid& guid) const;
  // The widget that shows `model` in any frame or the launcher bar.
  Fl_Widget* widgetOf(const qom::ui::Window* model) const;

 private:
  class FrameWindow;
  void frameChanged(const qom::Guid& guid, qom::ui::Container* frame, WindowHost::FrameChange change);

  HostSession& session_;
  WindowHost& windows_;
  FltkLoop& loop_;
  SkinColors colors_;
  std::map<std::string, std::unique_ptr<FrameWindow>> frames_;  // by GUID text
  std::unique_ptr<Fl_Double_Window> launcher_;
  std::unique_ptr<ModelView> launcherView_;
  Fl_Box* hoverBox_ = nullptr;  // owned by launcher_
  std::string hoverText_;
  std::unique_ptr<PreferencesWindow> preferences_;
};

}  // namespace qomhost::fltk
