#include "rondel/metadata/entry_fields.h"

#include <algorithm>

namespace rondel {

std::string getEntryField(const std::string& text, const std::string& key) {
  std::string value;
  const std::size_t k = key.size();
  if (k == 0) return value;
  // A match must leave at least one character after the key.
  for (std::size_t p = 0; p + k < text.size();) {
    const std::size_t hit = text.find(key, p);
    if (hit == std::string::npos || hit + k >= text.size()) break;
    const std::size_t start = hit + k;
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    value.append(text, start, end - start);
    // Go on from the character that ended the value (never backwards).
    p = std::max(end, hit + 1);
  }
  return value;
}

std::string parseArtist(const std::string& text) {
  const std::string title = getEntryField(text, "DTITLE=");
  const std::size_t slash = title.find('/');
  if (slash == std::string::npos) return title;
  std::size_t end = slash;
  while (end > 0 && (title[end - 1] == ' ' || title[end - 1] == '/')) --end;
  return title.substr(0, end);
}

std::string parseAlbum(const std::string& text) {
  const std::string title = getEntryField(text, "DTITLE=");
  const std::size_t slash = title.find('/');
  if (slash == std::string::npos) return title;
  const std::size_t start = title.find_first_not_of("/ ", slash);
  return start == std::string::npos ? std::string() : title.substr(start);
}

std::string parseTrackTitle(const std::string& text, int index) {
  return getEntryField(text, "TTITLE" + std::to_string(index) + "=");
}

std::string parseYear(const std::string& text) { return getEntryField(text, "DYEAR="); }

std::string parseGenre(const std::string& text) { return getEntryField(text, "DGENRE="); }

}  // namespace rondel
