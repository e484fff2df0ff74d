#pragma once
// The ID3v1 genre table: 126 names, a name's position is its genre number.
// Constant; safe from any thread.
#include <array>
#include <string_view>

namespace rondel {

constexpr std::size_t kGenreCount = 126;
extern const std::array<const char*, kGenreCount> kGenreNames;

// Position of the first table name equal to `genre` (ASCII letters compared
// without regard to case, every other byte exactly, the whole text: no
// trimming, no prefix match), or -1.
int genreNumber(std::string_view genre);

}  // namespace rondel
