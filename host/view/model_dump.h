#pragma once
// A JSON picture of a model tree: every window with its kind, name, notify
// id, rectangle (relative to the root), visible/enabled state and its own
// state (texts as UTF-8). For the desktop's state file, scripts and tests.
#include <functional>
#include <nlohmann/json.hpp>

#include "sdk/ui/window.h"

namespace qomhost {

// `extra` may add view facts to each window's object (say, a list's row
// height on screen). Window thread.
using DumpExtra = std::function<void(const qom::ui::Window&, nlohmann::json&)>;
nlohmann::json dumpModels(qom::ui::Window& root, const DumpExtra& extra = nullptr);

const char* kindName(qom::ui::WindowKind kind);

}  // namespace qomhost
