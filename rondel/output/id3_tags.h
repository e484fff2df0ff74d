#pragma once
// ID3 tags for ripped files, made by id3lib: an ID3v2 tag rendered into
// memory for an encoder that places it in its file, and an ID3v1 tag written
// into a finished ".mp3" file.
//
// Threads: called on the rip worker thread; each call builds its own
// ID3_Tag and shares nothing.
#include <cstdint>
#include <string>
#include <vector>

namespace rondel {

// The tag fields of one rip job. Texts are Windows-1252 and reach id3lib as
// they are (its default text encoding, ISO-8859-1, stores the same bytes).
// An empty text, and a track number of 0, add no frame.
struct TagFields {
  std::string title;
  std::uint32_t track = 0;  // the disc's track number, 1..99 on a real disc
  std::string artist;
  std::string album;
  std::string year;
  std::string genre;  // free text: the ID3v2 tag stores it as it is
  std::string comment;
};

// Renders an ID3v2 tag with frames TIT2, TPE1, TALB, TYER, COMM, TCON, TRCK
// (in that order, each only when its field is set) into `tag`, exactly the
// rendered bytes. False, with `tag` left empty, when no frame was added or
// id3lib rendered nothing.
bool renderId3v2Tag(const TagFields& fields, std::vector<std::uint8_t>& tag);

// Writes an ID3v1 tag into the existing file at the Windows-form path,
// replacing an ID3v1 tag already at its end; an ID3v2 tag in the file is
// neither read nor touched. The genre goes in only when genreNumber() knows
// it; texts longer than ID3v1's fields (30 bytes, 4 for the year) are cut by
// id3lib. True when the tag was written; false when the path does not map,
// names no regular file, or id3lib could not write.
bool writeId3v1Tag(const std::string& windowsPath, const TagFields& fields);

}  // namespace rondel
