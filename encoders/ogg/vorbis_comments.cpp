#include "encoders/ogg/vorbis_comments.h"

#include "platform/codepage.h"

namespace encoders {

std::vector<std::pair<std::string, std::string>> vorbisComments(const TagTexts& tags) {
  std::vector<std::pair<std::string, std::string>> out;
  const auto add = [&](const char* field, const std::string& text) {
    if (!text.empty()) out.emplace_back(field, platform::cp1252ToUtf8(text));
  };
  add("TITLE", tags.title);
  if (tags.track != 0) out.emplace_back("TRACKNUMBER", std::to_string(tags.track));
  add("ARTIST", tags.artist);
  add("ALBUM", tags.album);
  add("DATE", tags.year);
  add("GENRE", tags.genre);
  add("COMMENT", tags.comment);
  return out;
}

}  // namespace encoders
