#pragma once
// Output file naming: a pattern with the tokens <number>, <artist>, <album>
// and <track> (letters in any case) plus a track's data becomes a clean
// Windows-form path of at most 260 characters, without extension (the
// encoder library adds its own). Texts are Windows-1252. Pure functions,
// safe from any thread.
#include <cstdint>
#include <string>

namespace rondel {

// Longest output path: the 261-byte path fields hold it and a NUL.
constexpr std::size_t kMaxOutputPath = 260;

// Expands the tokens of `pattern` (the output folder, "\" and the naming
// pattern already joined) and cleans the result with the four steps below,
// in order. Empty artist, album and title become "artist", "album",
// "track"; an empty pattern gives "".
std::string expandOutputPath(std::string pattern, std::uint32_t trackNumber, std::string artist,
                             std::string album, std::string title);

// Index of the first occurrence of `token` in `text`, ASCII letters compared
// without regard to case; -1 when there is none (always for a token longer
// than the text).
int findTokenNoCase(const std::string& text, const std::string& token);

// "/" becomes "-"; "*", "<", ">", ":", "?", '"' and "|" become spaces; a ":"
// at index 1 stays when a letter A-Z/a-z precedes it and "\" follows (the
// drive prefix).
std::string replaceIllegalChars(std::string text);
// Every run of backslashes becomes one.
std::string collapseBackslashes(std::string text);
// Drops trailing spaces and backslashes (never the first character) and
// leading spaces; leading backslashes stay.
std::string trimPath(std::string text);
// The first kMaxOutputPath characters.
std::string limitPathLength(std::string text);

}  // namespace rondel
