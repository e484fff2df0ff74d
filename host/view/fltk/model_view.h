#pragma once
// Mirrors a tree of toolkit models into FLTK widgets inside one FLTK window,
// each widget at its model's rectangle relative to the root (FLTK places
// every widget in its window's coordinates). sync() copies the models'
// state into the widgets: values, rectangles, visibility, enabled state; a
// container whose children changed gets its widgets rebuilt. Window thread
// only.
#include <FL/Fl_Group.H>

#include <memory>
#include <vector>

#include "host/view/fltk/skin_colors.h"
#include "sdk/ui/window.h"

namespace qomhost::fltk {

class ModelView {
 public:
  // Builds the widgets of `root` and its descendants into `into`.
  ModelView(qom::ui::Window& root, Fl_Group& into, const SkinColors& colors);
  // Lets go of the models and removes the widgets (deleted by FLTK once no
  // event handler can be inside them).
  ~ModelView();
  ModelView(const ModelView&) = delete;
  ModelView& operator=(const ModelView&) = delete;

  void sync();
  qom::ui::Window& root() const { return root_; }
  // The widget that shows `model`, or null.
  Fl_Widget* widgetOf(const qom::ui::Window* model) const;

 private:
  struct Node {
    qom::ui::Window* model = nullptr;
    qom::ui::WindowKind kind = qom::ui::WindowKind::Window;  // read while the model lived
    Fl_Widget* widget = nullptr;
    std::vector<std::unique_ptr<Node>> children;
  };
  std::unique_ptr<Node> build(qom::ui::Window* model, Fl_Group* parent);
  void buildChildren(Node& node);
  void syncNode(Node& node);
  static void unbindAll(Node& node);
  const Node* find(const Node& node, const qom::ui::Window* model) const;

  qom::ui::Window& root_;
  Fl_Group& into_;
  const SkinColors colors_;
  std::unique_ptr<Node> top_;
};

}  // namespace qomhost::fltk
