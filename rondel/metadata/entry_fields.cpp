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

namespace {

// Where DTITLE's artist ends and its album starts. The database's separator
// is " / " (spaces around the slash): the first one splits, so "AC/DC /
// Back In Black" keeps "AC/DC". Only a title without one is split at its
// first "/" (with the spaces and slashes around it), as "Artist/Album".
struct TitleSplit {
  bool found = false;
  std::size_t artistEnd = 0;   // the artist is [0, artistEnd)
  std::size_t albumStart = 0;  // the album is [albumStart, end)
};

TitleSplit splitTitle(const std::string& title) {
  TitleSplit split;
  if (const std::size_t sep = title.find(" / "); sep != std::string::npos) {
    split.found = true;
    split.artistEnd = sep;
    while (split.artistEnd > 0 && title[split.artistEnd - 1] == ' ') --split.artistEnd;
    split.albumStart = title.find_first_not_of(' ', sep + 3);
    if (split.albumStart == std::string::npos) split.albumStart = title.size();
    return split;
  }
  const std::size_t slash = title.find('/');
  if (slash == std::string::npos) return split;
  split.found = true;
  split.artistEnd = slash;
  while (split.artistEnd > 0 && (title[split.artistEnd - 1] == ' ' || title[split.artistEnd - 1] == '/'))
    --split.artistEnd;
  split.albumStart = title.find_first_not_of("/ ", slash);
  if (split.albumStart == std::string::npos) split.albumStart = title.size();
  return split;
}

}  // namespace

std::string parseArtist(const std::string& text) {
  const std::string title = getEntryField(text, "DTITLE=");
  const TitleSplit split = splitTitle(title);
  return split.found ? title.substr(0, split.artistEnd) : title;
}

std::string parseAlbum(const std::string& text) {
  const std::string title = getEntryField(text, "DTITLE=");
  const TitleSplit split = splitTitle(title);
  return split.found ? title.substr(split.albumStart) : title;
}

std::string parseTrackTitle(const std::string& text, int index) {
  return getEntryField(text, "TTITLE" + std::to_string(index) + "=");
}

std::string parseYear(const std::string& text) { return getEntryField(text, "DYEAR="); }

std::string parseGenre(const std::string& text) { return getEntryField(text, "DGENRE="); }

}  // namespace rondel
