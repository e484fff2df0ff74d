#include "host/core/skin_file.h"

#include <pugixml.hpp>

#include "platform/codepage.h"
#include "platform/small_file.h"

namespace qomhost {
namespace {

constexpr std::size_t kMaxSkinFileBytes = std::size_t{4} << 20;

}  // namespace

std::optional<SkinFileContents> readSkinFile(const std::string& path, std::string* error) {
  // Skin files are small; reading through the checked open keeps a FIFO or
  // device in a skin's place from blocking the host's start.
  const platform::SmallFile file = platform::readSmallFile(path, kMaxSkinFileBytes);
  if (!file.ok) {
    if (error) *error = path + " " + file.problem;
    return std::nullopt;
  }
  pugi::xml_document doc;
  pugi::xml_parse_result parsed = doc.load_buffer(file.text.data(), file.text.size());
  if (!parsed) {
    if (error) *error = path + ": " + parsed.description();
    return std::nullopt;
  }
  pugi::xml_node skin = doc.child("skin");
  if (!skin) {
    if (error) *error = path + ": no <skin> element";
    return std::nullopt;
  }
  // Names and texts in the file are UTF-8; inside they are Windows-1252.
  auto attr = [](pugi::xml_node n, const char* name) {
    return platform::utf8ToCp1252(n.attribute(name).as_string());
  };
  SkinFileContents out;
  out.groupGuid = skin.attribute("group").as_string();
  for (pugi::xml_node c : skin.child("colors").children("color"))
    out.colors.emplace_back(c.attribute("id").as_string(), c.attribute("value").as_string());
  for (pugi::xml_node g : skin.children("skingroup"))
    for (pugi::xml_node part : g.children("part"))
      out.parts.push_back({g.attribute("id").as_string(), part.attribute("id").as_string(),
                           part.attribute("text").as_string(), part.attribute("background").as_string(),
                           part.attribute("selection").as_string()});
  for (pugi::xml_node p : skin.children("prefpage")) {
    SkinPage page{p.attribute("id").as_string(), attr(p, "title"), {}};
    for (pugi::xml_node c : p.children())
      if (c.type() == pugi::node_element)
        page.controls.push_back({c.name(), attr(c, "item"), attr(c, "text"), attr(c, "feed")});
    out.pages.push_back(std::move(page));
  }
  return out;
}

}  // namespace qomhost
