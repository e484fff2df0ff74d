// A database entry from a hostile server: every field parser. The first
// byte picks the track index; a key for getEntryField is cut from the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rondel/metadata/entry_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const int index = data[0] % 100;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string key = text.substr(0, data[0] % 16);
  const std::string value = rondel::getEntryField(text, key);
  if (value.size() > text.size()) __builtin_trap();
  const std::string artist = rondel::parseArtist(text), album = rondel::parseAlbum(text);
  if (artist.size() > text.size() || album.size() > text.size()) __builtin_trap();
  // Artist and album never overlap: together they fit in the title.
  const std::string title = rondel::getEntryField(text, "DTITLE=");
  if (title.find('/') != std::string::npos && artist.size() + album.size() > title.size())
    __builtin_trap();
  (void)rondel::parseTrackTitle(text, index);
  (void)rondel::parseYear(text);
  (void)rondel::parseGenre(text);
  return 0;
}
