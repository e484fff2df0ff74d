#include "sdk/ui/drop_down.h"

namespace qom::ui {

void DropDown::setSkin(DropDownSkin skin) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    skin_ = std::move(skin);
  }
  changed();
}

DropDownSkin DropDown::skin() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return skin_;
}

void DropDown::setCaption(std::string caption) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    caption_ = std::move(caption);
  }
  changed();
}

std::string DropDown::caption() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return caption_;
}

std::string DropDown::shownText() const {
  std::lock_guard<std::mutex> lock(mutex_);
  for (const DropDownItem& item : items_)
    if (item.id == selected_) return item.text;
  return caption_;
}

int DropDown::addItem(std::string text) {
  int id;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    id = nextId_++;
    items_.push_back({id, std::move(text)});
  }
  changed();
  return id;
}

void DropDown::deleteAll() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.clear();
    nextId_ = 0;
    selected_ = -1;
  }
  changed();
}

std::vector<DropDownItem> DropDown::items() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_;
}

int DropDown::selectedId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return selected_;
}

bool DropDown::selectItem(int id) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    bool known = false;
    for (const DropDownItem& item : items_) known = known || item.id == id;
    if (!known) return false;
    selected_ = id;
  }
  changed();
  onWindowThread([this, id] { onPick(id); });
  return true;
}

}  // namespace qom::ui
