#pragma once
// The tag texts of ACD2_InitCompress3 as Vorbis comments.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace encoders {

// The component's texts, Windows-1252 as it keeps them.
struct TagTexts {
  std::string title;
  std::uint32_t track = 0;
  std::string artist;
  std::string album;
  std::string year;
  std::string genre;
  std::string comment;
};

// (field name, UTF-8 value) pairs in the order TITLE, TRACKNUMBER, ARTIST,
// ALBUM, DATE, GENRE, COMMENT. Empty texts are left out, and TRACKNUMBER when
// the number is 0.
std::vector<std::pair<std::string, std::string>> vorbisComments(const TagTexts& tags);

}  // namespace encoders
