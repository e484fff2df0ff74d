#pragma once
// Output file naming: a pattern with the tokens <number>, <artist>, <album>
// and <track> (letters in any case) plus a track's data becomes a clean
// Windows-form path of at most 256 characters, without extension (the
// encoder library adds its own, up to 4 more). Texts are Windows-1252. Pure functions,
// safe from any thread.
#include <cstdint>
#include <string>

#include "rondel/rip/output_limits.h"

namespace rondel {

// A named output path and the folder the user's own text names: the path's
// part before the first name that an inserted value touches, with its
// trailing "\" ("C:\Music\" for "C:\Music\<artist>\<track>"; "\" for a path
// from the root of the current drive). The rip worker refuses a path that
// does not lie under it.
struct NamedOutput {
  std::string path;
  std::string folder;
};

// Expands the tokens of `pattern` (the output folder, "\" and the naming
// pattern already joined) and cleans the result with the steps below, in
// order. Empty artist, album and title become "artist", "album", "track";
// an empty pattern gives "". The values (and the number) are the job's
// data, not the user's text, and are treated apart from it:
// - control characters (0x00-0x1F, 0x7F) in a value become spaces;
// - a name (between two "\") that a value touches, that is a name holding
//   a value's character or bounded by a "\" a value brought, and that holds
//   only dots and spaces (at least one dot) gets "_" for each dot, so a
//   value never makes a "." or ".." that would climb ("..": "__");
// - lengths: each name a value touches is cut to kMaxNameBytes in UTF-8
//   (the file name to kMaxFileNameBytes); folders (the path up to its last
//   "\") longer than kMaxJobPath - 81 give from the folder names values
//   touch, the longest first, down to one character each, so that 80
//   characters are left for the file name and every track of an album
//   lands in the same folder; a path still longer than kMaxJobPath then
//   cuts the file name (when a value touches it) and only then is the path
//   cut at its end. A cut drops the spaces it leaves at a name's end and
//   is made harmless as above.
// The user's own text (folder and pattern) is cleaned as ever and never
// shortened while a value's name can give.
NamedOutput nameOutputPath(const std::string& pattern, std::uint32_t trackNumber,
                           std::string artist, std::string album, std::string title);
// nameOutputPath's path alone.
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
// The first kMaxOutputPath characters (the "Output Folder" buffer's size).
std::string limitPathLength(std::string text);

}  // namespace rondel
