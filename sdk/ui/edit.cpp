#include "sdk/ui/edit.h"

#include <algorithm>

namespace qom::ui {

std::string Edit::text() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

void Edit::setText(std::string text) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
    selStart_ = selEnd_ = static_cast<int>(text_.size());
  }
  changed();
}

void Edit::selectAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    selStart_ = 0;
    selEnd_ = static_cast<int>(text_.size());
  }
  changed();
}

int Edit::selectionStart() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selStart_;
}

int Edit::selectionEnd() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selEnd_;
}

void Edit::userType(const std::string& text) {
  for (char c : text) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const int from = std::min(selStart_, selEnd_), to = std::max(selStart_, selEnd_);
      text_.replace(from, to - from, 1, c);
      selStart_ = selEnd_ = from + 1;
    }
    keyProcessed();
  }
}

void Edit::userBackspace() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    int from = std::min(selStart_, selEnd_), to = std::max(selStart_, selEnd_);
    if (from == to && from > 0) --from;
    text_.erase(from, to - from);
    selStart_ = selEnd_ = from;
  }
  keyProcessed();
}

void Edit::userEnter() { notifyParent(kNotifyEditEnter); }

void Edit::userReplaceText(std::string text, int caret) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
    selStart_ = selEnd_ = std::clamp(caret, 0, static_cast<int>(text_.size()));
  }
  keyProcessed();
}

void Edit::userSelect(int start, int end) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int size = static_cast<int>(text_.size());
  selStart_ = std::clamp(start, 0, size);
  selEnd_ = std::clamp(end, 0, size);
}

void Edit::keyProcessed() {
  changed();
  notifyParent(kNotifyEditKey);
}

}  // namespace qom::ui
