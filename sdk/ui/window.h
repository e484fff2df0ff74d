#pragma once
// The base of every toolkit window model. Models hold all state and work
// with no display; a view (desktop or none) renders them and feeds input
// back. Every public method may be called from any thread unless it says
// "window thread"; events (notifications, timer ticks, picks) reach their
// handlers on the window thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace qom::ui {

class EventLoop;

// Notification codes a child reports to its parent.
constexpr int kNotifyClick = 10000;             // push or icon button clicked
constexpr int kNotifyEditKey = 11000;           // an edit field processed a key
constexpr int kNotifyEditEnter = 11020;         // Enter in an edit field
constexpr int kNotifySelectionChanged = 13000;  // the list's selection changed
constexpr int kNotifyHover = 17000;             // pointer entered (a = text) or left (a = 0)

enum class WindowKind { Window, Container, List, Edit, Label, PushButton, DropDown, IconButton };

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;  // relative to the parent
  bool operator==(const Rect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

// Edge placement: each edge is a value with a mode.
//   parent:   the value is added to the parent's matching edge (left/top to
//             the parent's left/top, right/bottom to its right/bottom);
//   absolute: the value is added to the parent's left (for left and right)
//             or top (for top and bottom) edge;
//   loose:    the edge follows from the opposite edge, and the value is the
//             size (for a loose right edge the width, for a loose top edge
//             the height above the bottom edge, and so on).
enum class EdgeMode { Parent, Absolute, Loose };
struct Edge {
  int value = 0;
  EdgeMode mode = EdgeMode::Parent;
};
struct Placement {
  Edge left, top, right, bottom;
  // A fixed rectangle relative to the parent.
  static Placement fixed(int x, int y, int width, int height) {
    return {{x, EdgeMode::Absolute}, {y, EdgeMode::Absolute}, {width, EdgeMode::Loose},
            {height, EdgeMode::Loose}};
  }
};
// The child's rectangle in a parent of the given size. A side that would be
// negative (a window too small for its fixed margins) is 0.
Rect placeInParent(const Placement& p, int parentWidth, int parentHeight);

class Window {
 public:
  // Registers with `parent`, whose loop it shares. Window thread.
  explicit Window(Window* parent = nullptr);
  // Forgets its pending events and leaves its parent. Window thread.
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  virtual WindowKind kind() const { return WindowKind::Window; }
  Window* parent() const { return parent_; }
  // Children in creation order (window thread; views and lookups).
  std::vector<Window*> children() const;

  // The loop of the window thread, or null for a model without a host.
  EventLoop* loop() const { return loop_; }
  // Root windows get the loop from the host before they get children.
  void setLoop(EventLoop* loop) { loop_ = loop; }

  // A name for lookups by views, tests and scripts ("Artist", "Status").
  void setName(std::string name);
  std::string name() const;
  // Named texts a window carries for whoever inspects it (a script, the
  // command line, a test), like a window property: for example what a
  // background task last did. Setting an empty value removes the key. Texts
  // are 8-bit, as every model text. Any thread.
  void setProperty(const std::string& key, std::string value);
  // The value, or "" when the key is not set.
  std::string property(const std::string& key) const;
  std::map<std::string, std::string> properties() const;
  // The id with which the parent tells this child's events apart (0: none).
  void setNotifyId(int id);
  int notifyId() const;

  void setPlacement(const Placement& p);
  Placement placement() const;
  // The rectangle from the last layout, relative to the parent.
  Rect rect() const;
  // The rectangle relative to the root window.
  Rect rootRect() const;
  // Places the children in this window's current size, recursively (window
  // thread; the host calls it on the root after a resize).
  void layout();
  // Sets this window's size (root windows) and lays out the children.
  void resize(int width, int height);

  void setVisible(bool on);
  bool visible() const;
  void setEnabled(bool on);
  bool enabled() const;

  // A child reports an event (window thread). Answers 0 when ignored.
  virtual int onChildNotify(Window* child, int code, std::intptr_t a, std::intptr_t b);
  // A timer of this window ticked (window thread).
  virtual void onTimer(int id) { (void)id; }

  // The first descendant (depth first, creation order) with this name, or
  // null. Window thread.
  Window* findByName(const std::string& name);

 protected:
  // Reports an event to the parent: at once on the window thread, else
  // posted to it. The answer is the parent's, or 0 when posted.
  int notifyParent(int code, std::intptr_t a = 0, std::intptr_t b = 0);
  // Runs `task` on the window thread: at once when already there (or when
  // there is no loop), else posted.
  void onWindowThread(std::function<void()> task);
  // Tells the view that the visible state changed.
  void changed();
  // Guards the base state; derived models have their own mutexes.
  mutable std::mutex baseMutex_;

 private:
  void setRect(const Rect& r);
  Window* const parent_;
  EventLoop* loop_ = nullptr;
  std::vector<Window*> children_;  // guarded by baseMutex_
  std::string name_;
  std::map<std::string, std::string> properties_;
  int notifyId_ = 0;
  Placement placement_;
  Rect rect_;
  bool visible_ = true;
  bool enabled_ = true;
};

// The window as model class T (ListView, Edit, Container...) when kind()
// says it is one, else null.
template <class T>
T* windowAs(Window* window) {
  return window != nullptr && window->kind() == T::kKind ? static_cast<T*>(window) : nullptr;
}
template <class T>
const T* windowAs(const Window* window) {
  return window != nullptr && window->kind() == T::kKind ? static_cast<const T*>(window) : nullptr;
}

}  // namespace qom::ui
