#pragma once
// The desktop's answer to the host's folder browser service: a directory
// chooser (FLTK's native chooser in BROWSE_DIRECTORY mode). It opens in the
// folder chosen last time, else in the folder `setChooserStart` names (the
// desktop view gives the "Output Folder" setting). Window thread only: the
// chooser runs FLTK's loop while it is open.
#include <functional>
#include <optional>
#include <string>

namespace qomhost::fltk {

// The chosen folder as a native path, or nullopt when the user cancelled.
std::optional<std::string> chooseFolder(const std::string& titleUtf8);

// Where the chooser opens before any folder was chosen: a native path, or
// "" for the chooser's own choice. Null clears it.
void setChooserStart(std::function<std::string()> start);

}  // namespace qomhost::fltk
