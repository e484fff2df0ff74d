#pragma once
// A window that holds and places child windows, runs timers by id and
// period, and keeps size preferences for the host's frame.
#include <map>

#include "sdk/ui/window.h"

namespace qom::ui {

// Size preference numbers. 2 and 3 are the suggested width and height
// (defaults 320 and 200); 4 is the smallest width the contents fit in.
constexpr int kSizeSuggestedWidth = 2;
constexpr int kSizeSuggestedHeight = 3;
constexpr int kSizeMinimumWidth = 4;

class Container : public Window {
 public:
  explicit Container(Window* parent = nullptr) : Window(parent) {}
  ~Container() override;
  static constexpr WindowKind kKind = WindowKind::Container;
  WindowKind kind() const override { return kKind; }

  // Window thread. A timer without a loop is remembered and never ticks.
  void startTimer(int id, int periodMs);
  void stopTimer(int id);
  // The period of a running timer, or 0.
  int timerPeriod(int id) const;

  void setSizePreference(int which, int value);
  // The stored value, the default for 2 and 3, else 0.
  int sizePreference(int which) const;

  // The window's title (root windows and the windows a host frames).
  void setTitle(std::string title);
  std::string title() const;

 private:
  mutable std::mutex mutex_;
  std::map<int, int> timers_;  // id -> period
  std::map<int, int> sizePrefs_;
  std::string title_;
};

}  // namespace qom::ui
