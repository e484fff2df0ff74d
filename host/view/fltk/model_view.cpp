#include "host/view/fltk/model_view.h"

#include <FL/Fl.H>

#include "host/view/fltk/bound.h"
#include "host/view/fltk/choice_box.h"
#include "host/view/fltk/edit_input.h"
#include "host/view/fltk/icon_box.h"
#include "host/view/fltk/label_box.h"
#include "host/view/fltk/list_table.h"
#include "host/view/fltk/push_button_widget.h"

namespace qomhost::fltk {

using qom::ui::WindowKind;

namespace {

Bound* boundOf(Fl_Widget* widget) { return dynamic_cast<Bound*>(widget); }

}  // namespace

ModelView::ModelView(qom::ui::Window& root, Fl_Group& into, const SkinColors& colors)
    : root_(root), into_(into), colors_(colors) {
  top_ = build(&root_, &into_);
  sync();
}

ModelView::~ModelView() {
  if (!top_) return;
  unbindAll(*top_);
  into_.remove(top_->widget);
  Fl::delete_widget(top_->widget);
}

std::unique_ptr<ModelView::Node> ModelView::build(qom::ui::Window* model, Fl_Group* parent) {
  auto node = std::make_unique<Node>();
  node->model = model;
  node->kind = model->kind();
  // Widgets are added to their parents explicitly, never to whichever group
  // happens to be current.
  Fl_Group* saved = Fl_Group::current();
  Fl_Group::current(nullptr);
  switch (model->kind()) {
    case WindowKind::Label:
      node->widget = new LabelBox(static_cast<qom::ui::Label*>(model), colors_);
      break;
    case WindowKind::Edit:
      node->widget = new EditInput(static_cast<qom::ui::Edit*>(model));
      break;
    case WindowKind::List:
      node->widget = new ListTable(static_cast<qom::ui::ListView*>(model));
      break;
    case WindowKind::PushButton:
      node->widget = new PushButtonWidget(static_cast<qom::ui::PushButton*>(model));
      break;
    case WindowKind::DropDown:
      node->widget = new ChoiceBox(static_cast<qom::ui::DropDown*>(model), colors_);
      break;
    case WindowKind::IconButton:
      node->widget = new IconBox(static_cast<qom::ui::IconButton*>(model), colors_);
      break;
    case WindowKind::Window:
    case WindowKind::Container:
    default: {
      auto* group = new Fl_Group(0, 0, 1, 1);
      group->end();
      // A group never scales its children: every rectangle comes from the
      // models.
      group->resizable(nullptr);
      node->widget = group;
      break;
    }
  }
  Fl_Group::current(saved);
  parent->add(node->widget);
  buildChildren(*node);
  return node;
}

void ModelView::buildChildren(Node& node) {
  auto* group = node.widget->as_group();
  // Tables are groups for their scrollbars; models never nest in them.
  if (group == nullptr || boundOf(node.widget) != nullptr) return;
  for (qom::ui::Window* child : node.model->children()) node.children.push_back(build(child, group));
}

void ModelView::sync() {
  if (top_) syncNode(*top_);
}

void ModelView::syncNode(Node& node) {
  qom::ui::Window* model = node.model;
  const qom::ui::Rect r = model->rootRect();
  Fl_Widget* w = node.widget;
  if (w->x() != r.x || w->y() != r.y || w->w() != r.width || w->h() != r.height) {
    w->resize(r.x, r.y, r.width, r.height);
    if (w->parent() != nullptr) w->parent()->redraw();
  }
  const bool visible = model->visible();
  if (visible && !w->visible()) w->show();
  if (!visible && w->visible()) w->hide();
  const bool enabled = model->enabled();
  if (enabled && !w->active()) w->activate();
  if (!enabled && w->active()) w->deactivate();
  if (Bound* bound = boundOf(w)) bound->syncFromModel();

  auto* group = w->as_group();
  if (group == nullptr || boundOf(w) != nullptr) return;
  const std::vector<qom::ui::Window*> children = model->children();
  bool same = children.size() == node.children.size();
  for (std::size_t i = 0; same && i < children.size(); ++i)
    same = children[i] == node.children[i]->model && children[i]->kind() == node.children[i]->kind;
  if (!same) {
    // Only pointers the model holds now are followed: the old nodes may
    // name children that are gone.
    for (auto& child : node.children) {
      unbindAll(*child);
      group->remove(child->widget);
      Fl::delete_widget(child->widget);
    }
    node.children.clear();
    buildChildren(node);
    group->redraw();
  }
  for (auto& child : node.children) syncNode(*child);
}

void ModelView::unbindAll(Node& node) {
  if (Bound* bound = boundOf(node.widget)) bound->unbind();
  for (auto& child : node.children) unbindAll(*child);
}

const ModelView::Node* ModelView::find(const Node& node, const qom::ui::Window* model) const {
  if (node.model == model) return &node;
  for (const auto& child : node.children)
    if (const Node* found = find(*child, model)) return found;
  return nullptr;
}

Fl_Widget* ModelView::widgetOf(const qom::ui::Window* model) const {
  if (!top_) return nullptr;
  const Node* node = find(*top_, model);
  return node == nullptr ? nullptr : node->widget;
}

}  // namespace qomhost::fltk
