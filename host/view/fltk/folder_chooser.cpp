#include "host/view/fltk/folder_chooser.h"

#include <FL/Fl_Native_File_Chooser.H>

namespace qomhost::fltk {

namespace {

// Both are used on the window thread only.
std::string& lastChosen() {
  static std::string folder;
  return folder;
}
std::function<std::string()>& startProvider() {
  static std::function<std::string()> start;
  return start;
}

}  // namespace

void setChooserStart(std::function<std::string()> start) { startProvider() = std::move(start); }

std::optional<std::string> chooseFolder(const std::string& titleUtf8) {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
  chooser.title(titleUtf8.c_str());
  const std::string start = !lastChosen().empty() ? lastChosen() : startProvider() ? startProvider()() : "";
  if (!start.empty()) chooser.directory(start.c_str());
  // 0: picked; 1: cancelled; -1: the chooser failed (taken as a cancel).
  if (chooser.show() != 0 || chooser.filename() == nullptr || chooser.filename()[0] == '\0')
    return std::nullopt;
  lastChosen() = chooser.filename();
  return lastChosen();
}

}  // namespace qomhost::fltk
