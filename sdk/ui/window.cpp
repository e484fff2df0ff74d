#include "sdk/ui/window.h"

#include <algorithm>

#include "sdk/ui/event_loop.h"

namespace qom::ui {
namespace {

// One axis: `lo`/`hi` are the near and far edges (left/right or top/bottom).
void placeAxis(const Edge& lo, const Edge& hi, int parentSize, int& start, int& size) {
  auto fixedEdge = [&](const Edge& e, bool far) {
    if (e.mode == EdgeMode::Absolute) return e.value;
    return far ? parentSize + e.value : e.value;
  };
  int a = 0, b = 0;
  if (lo.mode == EdgeMode::Loose && hi.mode == EdgeMode::Loose) {
    a = 0;
    b = hi.value;
  } else if (lo.mode == EdgeMode::Loose) {
    b = fixedEdge(hi, true);
    a = b - lo.value;
  } else if (hi.mode == EdgeMode::Loose) {
    a = fixedEdge(lo, false);
    b = a + hi.value;
  } else {
    a = fixedEdge(lo, false);
    b = fixedEdge(hi, true);
  }
  start = a;
  size = std::max(0, b - a);
}

}  // namespace

Rect placeInParent(const Placement& p, int parentWidth, int parentHeight) {
  Rect r;
  placeAxis(p.left, p.right, parentWidth, r.x, r.width);
  placeAxis(p.top, p.bottom, parentHeight, r.y, r.height);
  return r;
}

Window::Window(Window* parent) : parent_(parent) {
  if (parent_ != nullptr) {
    loop_ = parent_->loop_;
    std::lock_guard<std::mutex> lock(parent_->baseMutex_);
    parent_->children_.push_back(this);
  }
}

Window::~Window() {
  if (loop_ != nullptr) loop_->forget(this);
  if (parent_ != nullptr) {
    std::lock_guard<std::mutex> lock(parent_->baseMutex_);
    auto& siblings = parent_->children_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
  }
}

std::vector<Window*> Window::children() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return children_;
}

void Window::setName(std::string name) {
  std::lock_guard<std::mutex> lock(baseMutex_);
  name_ = std::move(name);
}

std::string Window::name() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return name_;
}

void Window::setProperty(const std::string& key, std::string value) {
  std::lock_guard<std::mutex> lock(baseMutex_);
  if (value.empty())
    properties_.erase(key);
  else
    properties_[key] = std::move(value);
}

std::string Window::property(const std::string& key) const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  const auto it = properties_.find(key);
  return it != properties_.end() ? it->second : std::string();
}

std::map<std::string, std::string> Window::properties() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return properties_;
}

void Window::setNotifyId(int id) {
  std::lock_guard<std::mutex> lock(baseMutex_);
  notifyId_ = id;
}

int Window::notifyId() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return notifyId_;
}

void Window::setPlacement(const Placement& p) {
  std::lock_guard<std::mutex> lock(baseMutex_);
  placement_ = p;
}

Placement Window::placement() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return placement_;
}

Rect Window::rect() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return rect_;
}

Rect Window::rootRect() const {
  Rect r = rect();
  for (const Window* p = parent_; p != nullptr && p->parent_ != nullptr; p = p->parent_) {
    Rect pr = p->rect();
    r.x += pr.x;
    r.y += pr.y;
  }
  return r;
}

void Window::setRect(const Rect& r) {
  std::lock_guard<std::mutex> lock(baseMutex_);
  rect_ = r;
}

void Window::layout() {
  const Rect own = rect();
  for (Window* child : children()) {
    child->setRect(placeInParent(child->placement(), own.width, own.height));
    child->layout();
  }
  changed();
}

void Window::resize(int width, int height) {
  {
    std::lock_guard<std::mutex> lock(baseMutex_);
    rect_.width = std::max(0, width);
    rect_.height = std::max(0, height);
  }
  layout();
}

void Window::setVisible(bool on) {
  {
    std::lock_guard<std::mutex> lock(baseMutex_);
    visible_ = on;
  }
  changed();
}

bool Window::visible() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return visible_;
}

void Window::setEnabled(bool on) {
  {
    std::lock_guard<std::mutex> lock(baseMutex_);
    enabled_ = on;
  }
  changed();
}

bool Window::enabled() const {
  std::lock_guard<std::mutex> lock(baseMutex_);
  return enabled_;
}

int Window::onChildNotify(Window* child, int code, std::intptr_t a, std::intptr_t b) {
  (void)child, (void)code, (void)a, (void)b;
  return 0;
}

Window* Window::findByName(const std::string& name) {
  for (Window* child : children()) {
    if (child->name() == name) return child;
    if (Window* found = child->findByName(name)) return found;
  }
  return nullptr;
}

int Window::notifyParent(int code, std::intptr_t a, std::intptr_t b) {
  if (parent_ == nullptr) return 0;
  if (loop_ == nullptr || loop_->isWindowThread()) return parent_->onChildNotify(this, code, a, b);
  loop_->post(this, [this, code, a, b] { parent_->onChildNotify(this, code, a, b); });
  return 0;
}

void Window::onWindowThread(std::function<void()> task) {
  if (loop_ == nullptr || loop_->isWindowThread()) {
    task();
    return;
  }
  loop_->post(this, std::move(task));
}

void Window::changed() {
  if (loop_ != nullptr) loop_->refresh(this);
}

}  // namespace qom::ui
