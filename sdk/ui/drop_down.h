#pragma once
// A drop-down list. It shows a caption while no item is chosen. Item ids
// count up from 0 in the order items are added and start again at 0 after
// deleteAll. Choosing an item, by the user or by selectItem, calls onPick
// with its id on the window thread.
#include <string>
#include <vector>

#include "sdk/ui/window.h"

namespace qom::ui {

// The parts a drop-down is drawn in, as a skin names them: the closed box
// shows the text part beside the button part (both in the main group), the
// open list is the list part (in the list group).
constexpr const char* kDropDownTextPart = "dropdownlist.text";
constexpr const char* kDropDownButtonPart = "dropdownlist.button";
constexpr const char* kDropDownListPart = "dropdownlist.list";

// The skin groups a drop-down asks its view to draw it with; empty: the
// view's own look.
struct DropDownSkin {
  std::string mainGroup;
  std::string listGroup;
};

struct DropDownItem {
  int id = 0;
  std::string text;
};

class DropDown : public Window {
 public:
  explicit DropDown(Window* parent = nullptr) : Window(parent) {}
  static constexpr WindowKind kKind = WindowKind::DropDown;
  WindowKind kind() const override { return kKind; }

  void setSkin(DropDownSkin skin);
  DropDownSkin skin() const;

  void setCaption(std::string caption);
  std::string caption() const;
  // What the closed drop-down shows: the chosen item's text, else the
  // caption.
  std::string shownText() const;

  int addItem(std::string text);  // answers the new id
  void deleteAll();
  std::vector<DropDownItem> items() const;
  int selectedId() const;  // -1: none
  // Chooses the item and calls onPick; false for an unknown id.
  bool selectItem(int id);

  // User input (window thread).
  bool userPick(int id) { return selectItem(id); }

 protected:
  // Window thread.
  virtual void onPick(int id) { (void)id; }

 private:
  mutable std::mutex mutex_;
  DropDownSkin skin_;
  std::string caption_;
  std::vector<DropDownItem> items_;
  int nextId_ = 0;
  int selected_ = -1;
};

}  // namespace qom::ui
