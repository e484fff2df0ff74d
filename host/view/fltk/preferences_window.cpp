#include "host/view/fltk/preferences_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Input_Choice.H>
#include <FL/Fl_Native_File_Chooser.H>

#include <algorithm>
#include <cstdio>

#include "host/core/text_list.h"
#include "host/view/fltk/bound.h"
#include "host/view/fltk/skin_colors.h"
#include "platform/codepage.h"
#include "platform/winpath.h"
#include "sdk/config.h"

namespace qomhost::fltk {

namespace {

constexpr int kWidth = 680, kHeight = 420, kTreeWidth = 180, kMargin = 10;
constexpr int kPageX = kTreeWidth + 2 * kMargin, kPageWidth = kWidth - kPageX - kMargin;
constexpr int kCloseWidth = 80;

}  // namespace

PreferencesWindow::PreferencesWindow(HostSession& session) : session_(session) {
  HostCore& host = session_.host();
  for (const HostCore::SkinFile& skin : host.skinFiles()) {
    std::string error;
    auto contents = readSkinFile(skinFilePath(host, skin.path), &error);
    if (!contents) {
      std::fprintf(stderr, "qomhost: skin file %s: %s\n", skin.path.c_str(), error.c_str());
      continue;
    }
    for (SkinPage& page : contents->pages) skinPages_.emplace(page.id, std::move(page));
  }
  Fl_Group::current(nullptr);
  window_ = std::make_unique<Fl_Double_Window>(kWidth, kHeight, "Preferences");
  tree_ = new Fl_Tree(kMargin, kMargin, kTreeWidth, kHeight - 2 * kMargin);
  tree_->showroot(0);
  tree_->selectmode(FL_TREE_SELECT_SINGLE);
  tree_->callback(&PreferencesWindow::onTree, this);
  page_ = new Fl_Group(kPageX, kMargin, kPageWidth, kHeight - 3 * kMargin - 20);
  page_->end();
  status_ = new Fl_Box(kPageX, kHeight - kMargin - 20, kPageWidth - kCloseWidth - kMargin, 20);
  status_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
  status_->labelsize(12);
  // Every change is stored as it is made: closing only takes the window away.
  close_ = new Fl_Button(kWidth - kMargin - kCloseWidth, kHeight - kMargin - 24, kCloseWidth, 24, "Close");
  close_->callback([](Fl_Widget*, void* window) { static_cast<Fl_Window*>(window)->hide(); }, window_.get());
  window_->end();
  buildTree();
}

PreferencesWindow::~PreferencesWindow() {
  // Widgets first: their callbacks point at the bindings.
  window_.reset();
  bindings_.clear();
}

void PreferencesWindow::buildTree() {
  pages_ = session_.host().prefPages();
  tree_->clear_children(tree_->root());
  // Parents come first in registration order, but a page may name a parent
  // registered later: place in rounds until nothing more can be placed.
  std::vector<Fl_Tree_Item*> items(pages_.size(), nullptr);
  bool placedAny = true;
  while (placedAny) {
    placedAny = false;
    for (std::size_t i = 0; i < pages_.size(); ++i) {
      if (items[i] != nullptr) continue;
      Fl_Tree_Item* parent = tree_->root();
      if (!pages_[i].parent.isNull()) {
        parent = nullptr;
        for (std::size_t p = 0; p < pages_.size(); ++p)
          if (p != i && items[p] != nullptr && !pages_[p].guid.isNull() && pages_[p].guid == pages_[i].parent)
            parent = items[p];
        // A parent that no page has: shown at the top level after all.
        bool known = false;
        for (std::size_t p = 0; p < pages_.size(); ++p)
          known = known || (p != i && pages_[p].guid == pages_[i].parent);
        if (parent == nullptr && known) continue;
        if (parent == nullptr) parent = tree_->root();
      }
      items[i] = tree_->add(parent, toFltk(pages_[i].title).c_str());
      if (items[i] == nullptr) items[i] = tree_->root();
      items[i]->user_data(reinterpret_cast<void*>(i + 1));
      placedAny = true;
    }
  }
  tree_->redraw();
}

void PreferencesWindow::open(const std::string& guidText) {
  if (browsing_) {
    window_->show();
    return;
  }
  if (pages_.size() != session_.host().prefPages().size()) buildTree();
  std::size_t index = 0;
  if (auto guid = qom::Guid::parse(guidText); guid && !guid->isNull())
    for (std::size_t i = 0; i < pages_.size(); ++i)
      if (pages_[i].guid == *guid) index = i;
  for (Fl_Tree_Item* item = tree_->first(); item != nullptr; item = tree_->next(item)) {
    if (reinterpret_cast<std::size_t>(item->user_data()) == index + 1) {
      tree_->select_only(item, 0);
      tree_->set_item_focus(item);
    }
  }
  showPage(index);
  if (!window_->shown()) window_->position(40, 60);
  window_->show();
}

std::string PreferencesWindow::shownPage() const {
  return shown_ < pages_.size() ? pages_[shown_].id : std::string();
}

namespace {
nlohmann::json rectOf(int x, int y, int w, int h) {
  return {{"x", x}, {"y", y}, {"width", w}, {"height", h}};
}
}  // namespace

nlohmann::json PreferencesWindow::describe() const {
  nlohmann::json controls = nlohmann::json::array();
  for (const auto& b : bindings_) {
    const Fl_Widget* w = b->widget;
    nlohmann::json control = {{"kind", b->control.kind},
                              {"item", b->control.item},
                              {"rect", rectOf(w->x(), w->y(), w->w(), w->h())}};
    if (auto value = shownValue(*b)) control["value"] = *value;
    controls.push_back(std::move(control));
  }
  // The page tree's rows as drawn (a collapsed branch's rows are not).
  nlohmann::json pages = nlohmann::json::array();
  for (Fl_Tree_Item* item = tree_->first_visible_item(); item != nullptr;
       item = tree_->next_item(item, FL_Down, true)) {
    if (item == tree_->root()) continue;
    pages.push_back({{"title", item->label() != nullptr ? item->label() : ""},
                     {"selected", item->is_selected() != 0},
                     {"rect", rectOf(item->x(), item->y(), item->w(), item->h())}});
  }
  return {{"shown", window_->shown() && window_->visible()},
          {"page", shownPage()},
          {"pages", std::move(pages)},
          {"close", rectOf(close_->x(), close_->y(), close_->w(), close_->h())},
          {"controls", std::move(controls)}};
}

std::optional<std::string> PreferencesWindow::shownValue(const Binding& b) {
  const std::string& kind = b.control.kind;
  if (kind == "checkbox") return std::string(static_cast<Fl_Check_Button*>(b.widget)->value() != 0 ? "1" : "0");
  if (kind == "dropdown") {
    const int index = static_cast<Fl_Choice*>(b.widget)->value();
    if (index < 0 || static_cast<std::size_t>(index) >= b.labels.size()) return std::nullopt;
    return b.labels[static_cast<std::size_t>(index)];
  }
  if (kind == "combo") return std::string(static_cast<Fl_Input_Choice*>(b.widget)->value());
  if (kind == "note") return std::nullopt;
  return std::string(static_cast<Fl_Input*>(b.widget)->value());
}

void PreferencesWindow::onTree(Fl_Widget*, void* self) {
  auto* window = static_cast<PreferencesWindow*>(self);
  Fl_Tree_Item* item = window->tree_->callback_item();
  if (item == nullptr || window->tree_->callback_reason() != FL_TREE_REASON_SELECTED) return;
  const auto index = reinterpret_cast<std::size_t>(item->user_data());
  if (index >= 1) window->showPage(index - 1);
}

void PreferencesWindow::showPage(std::size_t index) {
  if (browsing_) return;
  page_->clear();
  bindings_.clear();
  status_->copy_label("");
  shown_ = index;
  if (index >= pages_.size()) {
    page_->redraw();
    return;
  }
  Fl_Group::current(page_);
  auto* heading = new Fl_Box(kPageX, kMargin, kPageWidth, 24);
  heading->copy_label(escapeLabel(toFltk(pages_[index].title)).c_str());
  heading->labelfont(FL_HELVETICA_BOLD);
  heading->labelsize(16);
  heading->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  int y = kMargin + 32;
  auto found = skinPages_.find(pages_[index].id);
  if (found != skinPages_.end())
    for (const SkinControl& control : found->second.controls) y = addControl(control, y);
  page_->end();
  Fl_Group::current(nullptr);
  page_->redraw();
}

std::vector<std::string> PreferencesWindow::feedItems(const std::string& feed) {
  if (feed.empty()) return {};
  auto list = session_.host().feedList(platform::utf8ToCp1252(feed));
  std::vector<std::string> items;
  if (list)
    for (const std::string& item : splitList(*list)) items.push_back(toFltk(item));
  return items;
}

int PreferencesWindow::addControl(const SkinControl& control, int y) {
  auto binding = std::make_unique<Binding>();
  binding->owner = this;
  binding->control = control;
  binding->item = platform::utf8ToCp1252(control.item);
  qom::ConfigItem* item = control.kind == "note" ? nullptr : session_.findItem(binding->item);
  if (control.kind != "note" && item == nullptr) {
    // The skin names an item no component has: say so rather than offer a
    // control that stores nothing.
    auto* missing = new Fl_Box(kPageX, y, kPageWidth, 20);
    missing->copy_label(escapeLabel("(no setting \"" + control.item + "\")").c_str());
    missing->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    missing->labelsize(12);
    return y + 24;
  }
  const std::string value = item != nullptr ? toFltk(item->text()) : std::string();
  const std::string text = escapeLabel(control.text);
  Binding* b = binding.get();

  if (control.kind == "checkbox") {
    auto* check = new Fl_Check_Button(kPageX, y, kPageWidth, 22);
    check->copy_label(text.c_str());
    check->value(value == "1" ? 1 : 0);
    check->callback(&PreferencesWindow::onChanged, b);
    b->widget = check;
    y += 28;
  } else if (control.kind == "note") {
    auto* note = new Fl_Box(kPageX, y, kPageWidth, 40);
    note->copy_label(text.c_str());
    note->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_WRAP | FL_ALIGN_TOP);
    note->labelsize(12);
    b->widget = note;
    y += 44;
  } else {
    auto* caption = new Fl_Box(kPageX, y, kPageWidth, 18);
    caption->copy_label(text.c_str());
    caption->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
    caption->labelsize(12);
    y += 18;
    if (control.kind == "dropdown" || control.kind == "combo") {
      b->labels = feedItems(control.feed);
      // The stored value stays choosable even when the list no longer
      // offers it (a drive that is gone, a server of the user's own).
      if (control.kind == "dropdown" &&
          std::find(b->labels.begin(), b->labels.end(), value) == b->labels.end())
        b->labels.push_back(value);
      b->menu.assign(b->labels.size() + 1, Fl_Menu_Item{});
      for (std::size_t i = 0; i < b->labels.size(); ++i) b->menu[i].label(b->labels[i].c_str());
      if (control.kind == "dropdown") {
        auto* choice = new Fl_Choice(kPageX, y, kPageWidth, 24);
        choice->menu(b->menu.data());
        for (std::size_t i = 0; i < b->labels.size(); ++i)
          if (b->labels[i] == value) choice->value(static_cast<int>(i));
        choice->callback(&PreferencesWindow::onChanged, b);
        b->widget = choice;
      } else {
        auto* combo = new Fl_Input_Choice(kPageX, y, kPageWidth, 24);
        combo->menubutton()->menu(b->menu.data());
        combo->value(value.c_str());
        combo->when(FL_WHEN_CHANGED);
        combo->callback(&PreferencesWindow::onChanged, b);
        b->widget = combo;
      }
    } else {
      const bool folder = control.kind == "folder";
      auto* input = new Fl_Input(kPageX, y, folder ? kPageWidth - 90 : kPageWidth, 24);
      input->value(value.c_str());
      input->when(FL_WHEN_CHANGED);
      input->callback(&PreferencesWindow::onChanged, b);
      b->widget = input;
      if (folder) {
        b->input = input;
        auto* button = new Fl_Button(kPageX + kPageWidth - 84, y, 84, 24, "Browse...");
        button->callback(&PreferencesWindow::onBrowse, b);
      }
    }
    y += 30;
  }
  bindings_.push_back(std::move(binding));
  return y;
}

void PreferencesWindow::onChanged(Fl_Widget*, void* data) {
  auto* b = static_cast<Binding*>(data);
  if (auto value = shownValue(*b)) b->owner->write(*b, *value);
}

void PreferencesWindow::write(Binding& binding, const std::string& utf8) {
  qom::ConfigItem* item = session_.findItem(binding.item);
  if (item == nullptr) return;
  if (!item->setText(platform::utf8ToCp1252(utf8).c_str())) {
    status_->copy_label(escapeLabel("\"" + binding.control.item + "\" does not take that value").c_str());
    return;
  }
  status_->copy_label(session_.store().changesSaved()
                          ? ""
                          : ("Not saved to " + session_.store().filePath()).c_str());
}

void PreferencesWindow::onBrowse(Fl_Widget*, void* data) { static_cast<Binding*>(data)->owner->browse(*static_cast<Binding*>(data)); }

void PreferencesWindow::browse(Binding& binding) {
  auto* input = static_cast<Fl_Input*>(binding.input);
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
  chooser.title(binding.control.text.c_str());
  if (auto native = platform::toNativePath(fromFltk(input->value()))) chooser.directory(native->c_str());
  browsing_ = true;
  const int picked = chooser.show();
  browsing_ = false;
  if (picked != 0 || chooser.filename() == nullptr) return;
  // The component works with Windows-form paths only.
  const std::string windows = platform::toWindowsPath(chooser.filename());
  if (windows.empty()) {
    status_->copy_label(escapeLabel(std::string("No drive letter reaches ") + chooser.filename()).c_str());
    return;
  }
  const std::string utf8 = toFltk(windows);
  input->value(utf8.c_str());
  write(binding, utf8);
}

}  // namespace qomhost::fltk
