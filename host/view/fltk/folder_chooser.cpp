#include "host/view/fltk/folder_chooser.h"

#include <FL/Fl_Native_File_Chooser.H>

namespace qomhost::fltk {

std::optional<std::string> chooseFolder(const std::string& titleUtf8) {
  Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
  chooser.title(titleUtf8.c_str());
  // 0: picked; 1: cancelled; -1: the chooser failed (taken as a cancel).
  if (chooser.show() != 0 || chooser.filename() == nullptr || chooser.filename()[0] == '\0')
    return std::nullopt;
  return std::string(chooser.filename());
}

}  // namespace qomhost::fltk
