#pragma once
// The main window's settings, read from the component's configuration group.
#include "rondel/ui/window_settings.h"

namespace rondel {

// One process-wide instance; every value is read from config() when asked.
const WindowSettings& componentWindowSettings();

}  // namespace rondel
