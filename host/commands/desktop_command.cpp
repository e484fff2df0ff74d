#include "host/commands/desktop_command.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <memory>

#include "host/commands/desktop_copy_log.h"
#include "host/view/fltk/desktop_view.h"
#include "host/view/fltk/fltk_loop.h"
#include "host/view/fltk/folder_chooser.h"
#include "host/view/fltk/list_table.h"
#include "host/view/model_dump.h"
#include "host/view/window_host.h"
#include "platform/codepage.h"
#include "sdk/config.h"
#include "sdk/ui/container.h"

namespace qomhost {

namespace {

// Signals reach the loop through a pipe: the handler only writes the
// signal's number, the window thread acts on it. Written by the handler,
// read by the window thread; set once before the handlers are installed.
int signalPipe[2] = {-1, -1};

extern "C" void onSignal(int number) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(number);
  if (signalPipe[1] >= 0) (void)!::write(signalPipe[1], &byte, 1);
  errno = saved;
}

class SignalPipe {
 public:
  SignalPipe() {
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) signalPipe[0] = signalPipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = &onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : {SIGTERM, SIGINT, SIGUSR1}) ::sigaction(number, &action, &saved_[index(number)]);
  }
  ~SignalPipe() {
    for (int number : {SIGTERM, SIGINT, SIGUSR1}) ::sigaction(number, &saved_[index(number)], nullptr);
    for (int& fd : signalPipe) {
      if (fd >= 0) ::close(fd);
      fd = -1;
    }
  }
  int readEnd() const { return signalPipe[0]; }

 private:
  static int index(int number) { return number == SIGTERM ? 0 : number == SIGINT ? 1 : 2; }
  struct sigaction saved_[3] {};
};

// Five times a second: the copies' logs, and the titles when a verdict
// changed.
constexpr double kCopyWatchSeconds = 0.2;

struct CopyWatch {
  DesktopCopyLog log;
  fltk::DesktopView& view;
  static void onTimeout(void* self) {
    auto* watch = static_cast<CopyWatch*>(self);
    if (watch->log.poll()) watch->view.sync();
    Fl::repeat_timeout(kCopyWatchSeconds, &CopyWatch::onTimeout, self);
  }
};

struct Desktop {
  HostSession& session;
  WindowHost& windows;
  fltk::FltkLoop& loop;
  fltk::DesktopView& view;
  const DesktopOptions& options;

  nlohmann::json state() {
    const auto extra = [this](const qom::ui::Window& model, nlohmann::json& out) {
      if (model.kind() != qom::ui::WindowKind::List) return;
      // Where the rows are on screen, for scripts that click them.
      out["headerHeight"] = fltk::ListTable::kHeaderHeight;
      out["rowHeight"] = fltk::ListTable::kRowHeight;
      if (Fl_Widget* w = view.widgetOf(&model)) out["topRow"] = static_cast<fltk::ListTable*>(w)->row_position();
    };
    nlohmann::json frames = nlohmann::json::array();
    for (const qom::Guid& guid : windows.shownWindows()) {
      qom::ui::Container* frame = windows.frame(guid);
      if (frame == nullptr) continue;
      nlohmann::json entry{{"guid", guid.toString()}, {"models", dumpModels(*frame, extra)}};
      if (Fl_Double_Window* w = view.frameWindow(guid))
        entry["window"] = {{"x", w->x()}, {"y", w->y()}, {"width", w->w()}, {"height", w->h()},
                           {"title", w->label() ? w->label() : ""}};
      frames.push_back(std::move(entry));
    }
    nlohmann::json config = nlohmann::json::object();
    for (qom::ConfigGroup* group : session.host().configGroups())
      for (int i = 0; i < group->itemCount(); ++i)
        if (qom::ConfigItem* item = group->itemAt(i))
          config[platform::cp1252ToUtf8(item->name())] = platform::cp1252ToUtf8(item->text());
    return {{"frames", std::move(frames)},
            {"launcherBar", dumpModels(windows.launcherBar(), extra)},
            {"launcherHover", platform::cp1252ToUtf8(windows.launcherBar().hoverText())},
            {"preferences", view.preferencesState()},
            {"config", std::move(config)}};
  }

  // Written beside and renamed into place, so a reader never sees half.
  void writeState() {
    if (options.stateFile.empty()) return;
    const std::string temporary = options.stateFile + ".tmp";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out << state().dump(2) << "\n";
      if (!out.flush()) {
        std::fprintf(stderr, "qomhost: cannot write %s\n", temporary.c_str());
        return;
      }
    }
    if (std::rename(temporary.c_str(), options.stateFile.c_str()) != 0)
      std::fprintf(stderr, "qomhost: cannot write %s\n", options.stateFile.c_str());
  }

  static void onSignalPipe(FL_SOCKET fd, void* self) {
    auto* desktop = static_cast<Desktop*>(self);
    unsigned char bytes[64];
    ssize_t n;
    while ((n = ::read(fd, bytes, sizeof bytes)) > 0) {
      for (ssize_t i = 0; i < n; ++i) {
        if (bytes[i] == SIGUSR1) {
          desktop->loop.runPending();  // the models' latest state first
          desktop->writeState();
        } else {
          desktop->loop.quit();
        }
      }
    }
  }
};

}  // namespace

bool parseGeometry(const std::string& text, int* width, int* height) {
  int w = 0, h = 0;
  char x = 0, rest = 0;
  if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X')) return false;
  if (w < 1 || h < 1 || w > 16384 || h > 16384) return false;
  *width = w, *height = h;
  return true;
}

int runDesktop(const HostSession::Options& sessionOptions, const DesktopOptions& options) {
  // FLTK ends the process when it cannot open the display; ask first.
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = std::getenv("DISPLAY");
    std::fprintf(stderr, "qomhost: no display (DISPLAY=%s); the desktop needs an X server\n",
                 name != nullptr ? name : "unset");
    return 2;
  }
  fl_open_display(display);
  Fl::scheme("gtk+");

  // Declaration order is teardown order in reverse: the loop outlives every
  // model, the session outlives the windows its components made.
  {
  fltk::FltkLoop loop;
  {
    HostSession session(sessionOptions);
    WindowHost windows(session.host(), loop);
    fltk::DesktopView view(session, windows, loop);
    Desktop desktop{session, windows, loop, view, options};
    SignalPipe signals;
    if (signals.readEnd() >= 0) Fl::add_fd(signals.readEnd(), FL_READ, &Desktop::onSignalPipe, &desktop);

    // "Select output folder." and any other browse: a directory chooser,
    // run on the window thread (FLTK's), where the copy commands run.
    session.host().folderBrowser().setHandler(
        [&loop](const std::string& title) -> std::optional<std::string> {
          if (!loop.isWindowThread()) return std::nullopt;
          return fltk::chooseFolder(title);
        });
    windows.buildLauncherBar();
    view.showLauncherBar();
    windows.showAutoPopups();
    // The asked-for size, but never narrower than a window's contents fit.
    for (const qom::Guid& guid : windows.shownWindows()) {
      Fl_Double_Window* w = view.frameWindow(guid);
      if (w == nullptr || options.width <= 0) continue;
      w->size(std::max(options.width, windows.minimumWidth(guid)), options.height);
    }

    CopyWatch copyWatch{DesktopCopyLog(session, windows), view};
    Fl::add_timeout(kCopyWatchSeconds, &CopyWatch::onTimeout, &copyWatch);
    loop.run();
    Fl::remove_timeout(&CopyWatch::onTimeout, &copyWatch);

    loop.runPending();
    desktop.writeState();
    if (signals.readEnd() >= 0) Fl::remove_fd(signals.readEnd());
    // Component windows go through their creators while the view lets go
    // of them first; then the launcher icons with WindowHost.
    view.closeAllFrames();
    session.host().folderBrowser().setHandler(nullptr);
  }
  // Deferred widget deletions happen inside FLTK's wait.
  Fl::check();
  }
  return 0;
}

}  // namespace qomhost
