#include "host/view/model_dump.h"

#include "platform/codepage.h"
#include "sdk/ui/container.h"
#include "sdk/ui/drop_down.h"
#include "sdk/ui/edit.h"
#include "sdk/ui/icon_button.h"
#include "sdk/ui/label.h"
#include "sdk/ui/list_view.h"
#include "sdk/ui/push_button.h"

namespace qomhost {

using qom::ui::WindowKind;

namespace {

std::string utf8(const std::string& cp1252) { return platform::cp1252ToUtf8(cp1252); }

void dumpState(qom::ui::Window& w, nlohmann::json& out) {
  switch (w.kind()) {
    case WindowKind::Container: {
      auto& c = static_cast<qom::ui::Container&>(w);
      out["title"] = utf8(c.title());
      out["minimumWidth"] = c.sizePreference(qom::ui::kSizeMinimumWidth);
      break;
    }
    case WindowKind::List: {
      auto& list = static_cast<qom::ui::ListView&>(w);
      nlohmann::json columns = nlohmann::json::array();
      const auto cols = list.columns();
      for (const qom::ui::ListColumn& c : cols)
        columns.push_back({{"heading", utf8(c.heading)}, {"width", c.width}, {"flags", c.flags}});
      out["columns"] = std::move(columns);
      nlohmann::json rows = nlohmann::json::array();
      for (int r = 0, n = list.rowCount(); r < n; ++r) {
        nlohmann::json cells = nlohmann::json::array();
        for (std::size_t c = 0; c < cols.size(); ++c) cells.push_back(utf8(list.cell(r, static_cast<int>(c))));
        rows.push_back({{"itemData", list.itemData(r)}, {"cells", std::move(cells)}});
      }
      out["rows"] = std::move(rows);
      out["selected"] = list.selectedRows();
      out["focused"] = list.focusedRow();
      out["visibleRowRequest"] = list.visibleRowRequest();
      break;
    }
    case WindowKind::Edit: {
      auto& edit = static_cast<qom::ui::Edit&>(w);
      out["text"] = utf8(edit.text());
      out["selection"] = {edit.selectionStart(), edit.selectionEnd()};
      break;
    }
    case WindowKind::Label: {
      auto& label = static_cast<qom::ui::Label&>(w);
      out["text"] = utf8(label.text());
      out["textSize"] = label.textSize();
      out["centred"] = label.centred();
      out["shadow"] = label.shadow();
      out["filled"] = label.filled();
      break;
    }
    case WindowKind::PushButton: {
      auto& button = static_cast<qom::ui::PushButton&>(w);
      out["text"] = utf8(button.text());
      out["textSize"] = button.textSize();
      break;
    }
    case WindowKind::DropDown: {
      auto& dropDown = static_cast<qom::ui::DropDown&>(w);
      out["caption"] = utf8(dropDown.caption());
      out["shownText"] = utf8(dropDown.shownText());
      nlohmann::json items = nlohmann::json::array();
      for (const qom::ui::DropDownItem& item : dropDown.items())
        items.push_back({{"id", item.id}, {"text", utf8(item.text)}});
      out["items"] = std::move(items);
      out["selectedId"] = dropDown.selectedId();
      break;
    }
    case WindowKind::IconButton: {
      auto& icon = static_cast<qom::ui::IconButton&>(w);
      out["activated"] = icon.activated();
      out["imageBytes"] = {icon.normalImage().size(), icon.highlightedImage().size(),
                           icon.activatedImage().size()};
      break;
    }
    case WindowKind::Window:
    default:
      break;
  }
}

nlohmann::json dumpOne(qom::ui::Window& w, const DumpExtra& extra) {
  nlohmann::json out;
  out["kind"] = kindName(w.kind());
  out["name"] = utf8(w.name());
  out["notifyId"] = w.notifyId();
  const qom::ui::Rect r = w.rootRect();
  out["rect"] = {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
  out["visible"] = w.visible();
  out["enabled"] = w.enabled();
  const auto properties = w.properties();
  if (!properties.empty()) {
    nlohmann::json props = nlohmann::json::object();
    for (const auto& [key, value] : properties) props[utf8(key)] = utf8(value);
    out["properties"] = std::move(props);
  }
  dumpState(w, out);
  if (extra) extra(w, out);
  nlohmann::json children = nlohmann::json::array();
  for (qom::ui::Window* child : w.children()) children.push_back(dumpOne(*child, extra));
  out["children"] = std::move(children);
  return out;
}

}  // namespace

const char* kindName(WindowKind kind) {
  switch (kind) {
    case WindowKind::Container: return "container";
    case WindowKind::List: return "list";
    case WindowKind::Edit: return "edit";
    case WindowKind::Label: return "label";
    case WindowKind::PushButton: return "button";
    case WindowKind::DropDown: return "dropdown";
    case WindowKind::IconButton: return "icon";
    case WindowKind::Window:
    default: return "window";
  }
}

nlohmann::json dumpModels(qom::ui::Window& root, const DumpExtra& extra) { return dumpOne(root, extra); }

}  // namespace qomhost
