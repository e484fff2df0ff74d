#pragma once
// The drop-down of database entries: a pick hands the item id to the main
// window, which applies that entry.
#include "rondel/ui/main_window.h"
#include "sdk/ui/drop_down.h"

namespace rondel {

constexpr const char* kNoEntriesCaption = "No freedb entries";
// The skin groups the drop-down is drawn with (defined in the skin file).
constexpr const char* kEntriesMainGroup = "korrin.dropdownlist.main.group";
constexpr const char* kEntriesListGroup = "korrin.dropdownlist.list.group";

class EntriesDropDown final : public qom::ui::DropDown {
 public:
  EntriesDropDown(qom::ui::Window* parent, MainWindow& owner) : DropDown(parent), owner_(owner) {
    setCaption(kNoEntriesCaption);
    setSkin({kEntriesMainGroup, kEntriesListGroup});
  }

 protected:
  void onPick(int id) override { owner_.applyEntry(id); }

 private:
  MainWindow& owner_;
};

}  // namespace rondel
