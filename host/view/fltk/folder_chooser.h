#pragma once
// The desktop's answer to the host's folder browser service: a directory
// chooser (FLTK's native chooser in BROWSE_DIRECTORY mode). Window thread
// only: the chooser runs FLTK's loop while it is open.
#include <optional>
#include <string>

namespace qomhost::fltk {

// The chosen folder as a native path, or nullopt when the user cancelled.
std::optional<std::string> chooseFolder(const std::string& titleUtf8);

}  // namespace qomhost::fltk
