#pragma once
// The preferences window: the pages the components registered, as a tree
// (nested by parent GUID), and for the chosen page the controls its skin
// file describes, each bound to its configuration item. A change is written
// to the item at once (the configuration store saves it); "Close" only
// takes the window away. Window thread.
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Tree.H>

#include <map>
#include <nlohmann/json.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/core/host_core.h"
#include "host/core/host_session.h"
#include "host/core/skin_file.h"

namespace qomhost::fltk {

class PreferencesWindow {
 public:
  explicit PreferencesWindow(HostSession& session);
  ~PreferencesWindow();
  PreferencesWindow(const PreferencesWindow&) = delete;
  PreferencesWindow& operator=(const PreferencesWindow&) = delete;

  // Shows the window on the page with this GUID text; an unknown or empty
  // GUID opens the first page.
  void open(const std::string& guidText);
  // The id of the page shown ("" when none).
  std::string shownPage() const;
  Fl_Double_Window& window() { return *window_; }
  // Whether it shows, the page, the page tree's rows (title, selected,
  // rectangle), and each bound control with its item, rectangle and the
  // value it shows (for scripts and tests).
  nlohmann::json describe() const;

 private:
  // One control bound to one item; kept while its page shows.
  struct Binding {
    PreferencesWindow* owner = nullptr;
    SkinControl control;
    std::string item;  // the item's name, Windows-1252
    Fl_Widget* widget = nullptr;
    Fl_Widget* input = nullptr;  // the text field of a folder control
    std::vector<std::string> labels;  // menu texts (UTF-8); menu points into them
    std::vector<Fl_Menu_Item> menu;
  };
  void buildTree();
  void showPage(std::size_t index);
  int addControl(const SkinControl& control, int y);
  void write(Binding& binding, const std::string& utf8);
  // What a bound control shows, as the text its item would take (UTF-8);
  // nothing for a note or a drop-down without a choice.
  static std::optional<std::string> shownValue(const Binding& binding);
  void browse(Binding& binding);
  std::vector<std::string> feedItems(const std::string& feed);
  static void onTree(Fl_Widget* widget, void* self);
  static void onChanged(Fl_Widget* widget, void* binding);
  static void onBrowse(Fl_Widget* widget, void* binding);

  HostSession& session_;
  std::vector<HostCore::PrefPage> pages_;
  std::map<std::string, SkinPage> skinPages_;  // by page id
  std::unique_ptr<Fl_Double_Window> window_;
  Fl_Tree* tree_ = nullptr;        // owned by window_
  Fl_Group* page_ = nullptr;       // owned by window_
  Fl_Box* status_ = nullptr;       // owned by window_
  std::vector<std::unique_ptr<Binding>> bindings_;
  std::size_t shown_ = static_cast<std::size_t>(-1);
  // True while the folder chooser runs its own loop: the page (and the
  // binding the chooser writes to) must not be rebuilt meanwhile.
  bool browsing_ = false;
  Fl_Button* close_ = nullptr;  // owned by window_
};

}  // namespace qomhost::fltk
