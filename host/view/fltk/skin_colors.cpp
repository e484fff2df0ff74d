#include "host/view/fltk/skin_colors.h"

#include <cctype>

#include "host/core/host_core.h"
#include "host/core/skin_file.h"
#include "sdk/ui/label.h"

namespace qomhost::fltk {

std::optional<Fl_Color> parseColor(const std::string& text) {
  if (text.size() != 7 || text[0] != '#') return std::nullopt;
  unsigned value = 0;
  for (std::size_t i = 1; i < 7; ++i) {
    const int c = static_cast<unsigned char>(text[i]);
    if (!std::isxdigit(c)) return std::nullopt;
    value = value * 16 + static_cast<unsigned>(std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  return fl_rgb_color(static_cast<uchar>(value >> 16), static_cast<uchar>(value >> 8),
                      static_cast<uchar>(value));
}

std::string skinFilePath(const HostCore& host, const std::string& registered) {
  if (registered.empty() || registered[0] == '/') return registered;
  return host.baseFolder() + "/" + registered;
}

std::optional<PartColors> SkinColors::part(const std::string& group, const std::string& id) const {
  const auto found = parts.find({group, id});
  if (found == parts.end()) return std::nullopt;
  return found->second;
}

SkinColors skinColorsFromFiles(const std::vector<std::string>& paths) {
  SkinColors colors;
  bool seen[4] = {false, false, false, false};
  const std::pair<const char*, Fl_Color*> wanted[4] = {
      {qom::ui::kSkinTextBarBackground, &colors.textBarBackground},
      {qom::ui::kSkinTextBarText, &colors.textBarText},
      {"mirrit.window.background", &colors.windowBackground},
      {"mirrit.window.text", &colors.windowText}};
  for (const std::string& path : paths) {
    std::string error;
    auto contents = readSkinFile(path, &error);
    if (!contents) continue;
    for (const auto& [id, value] : contents->colors)
      for (int i = 0; i < 4; ++i)
        if (!seen[i] && id == wanted[i].first)
          if (auto color = parseColor(value)) *wanted[i].second = *color, seen[i] = true;
    for (const SkinPart& part : contents->parts) {
      PartColors defaults;
      // A colour the part leaves out (or writes wrongly) keeps the default.
      PartColors c{parseColor(part.text).value_or(defaults.text),
                   parseColor(part.background).value_or(defaults.background),
                   parseColor(part.selection).value_or(defaults.selection)};
      colors.parts.emplace(std::make_pair(part.group, part.id), c);  // the first file wins
    }
  }
  return colors;
}

SkinColors loadSkinColors(const HostCore& host) {
  std::vector<std::string> paths;
  for (const HostCore::SkinFile& skin : host.skinFiles()) paths.push_back(skinFilePath(host, skin.path));
  return skinColorsFromFiles(paths);
}

}  // namespace qomhost::fltk
