#pragma once
// Reading a component's skin file: the preference pages it describes and
// which configuration item each control is bound to.
#include <optional>
#include <string>
#include <vector>

namespace qomhost {

struct SkinControl {
  std::string kind;  // checkbox, dropdown, combo, edit, folder, note
  std::string item;  // bound configuration item ("" for a note)
  std::string text;
  std::string feed;  // text feed list for dropdown and combo
};

struct SkinPage {
  std::string id;
  std::string title;
  std::vector<SkinControl> controls;
};

// The colours of one part of a control, in one skin group ("#RRGGBB" texts;
// empty where the file names none).
struct SkinPart {
  std::string group;  // e.g. "korrin.dropdownlist.main.group"
  std::string id;     // e.g. "dropdownlist.text"
  std::string text, background, selection;
};

struct SkinFileContents {
  std::string groupGuid;  // the configuration group the controls bind to
  std::vector<std::pair<std::string, std::string>> colors;  // id, "#RRGGBB"
  std::vector<SkinPart> parts;
  std::vector<SkinPage> pages;
};

// Parses a skin file at a native path. nullopt, with `error` set, when it
// cannot be read or is not a skin file.
std::optional<SkinFileContents> readSkinFile(const std::string& path, std::string* error);

}  // namespace qomhost
