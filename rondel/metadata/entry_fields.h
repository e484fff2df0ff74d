#pragma once
// Fields of a database entry (xmcd text: KEY=value lines, a long value split
// over several lines with the same key). Plain byte comparison, keys are
// case-sensitive, nothing is decoded, converted or trimmed.
#include <string>

namespace rondel {

// The values of every occurrence of `key` (which includes its '='), each up
// to the next CR, LF or the end, joined with nothing between them. Empty
// for an empty key or a text not longer than the key.
std::string getEntryField(const std::string& text, const std::string& key);

// From the "DTITLE=" value "Artist / Album": split at the first " / " (the
// database's separator), so "AC/DC / Back In Black" gives "AC/DC" and "Back
// In Black"; the artist without the spaces at its end, the album without
// those at its start. Only a value without " / " is split at its first '/'
// (the artist without the spaces and slashes at its end, the album without
// the slashes and spaces at its start). A value without '/' is both.
std::string parseArtist(const std::string& text);
std::string parseAlbum(const std::string& text);
// "TTITLE<index>=", with the 0-based disc index (data tracks counted).
std::string parseTrackTitle(const std::string& text, int index);
std::string parseYear(const std::string& text);
std::string parseGenre(const std::string& text);

}  // namespace rondel
