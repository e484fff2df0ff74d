#pragma once
// What an image file must be before libcdio 2.1 parses it. Its parsers
// trust their input: a CUE sheet or TOC file of more than 99 tracks writes
// past its fixed track table, and an NRG footer's lengths and counts are
// followed without bounds (a 4-byte file, a table of 200 tracks, CD-Text
// that fails to parse end in a crash or a double free). These checks run
// in our own code on the bytes libcdio would read and refuse, with a
// reason, anything outside what its parsers handle safely. Pure functions:
// no file access, safe from any thread.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cdr {

// A CUE sheet or TOC file larger than this is no sheet.
constexpr std::size_t kMaxSheetBytes = std::size_t{1} << 20;

// "" when libcdio may parse the CUE sheet: no NUL byte, no line of 1024
// bytes or more (its reader splits long lines, so their tails would be
// read as statements), 1 to 99 TRACK statements numbered 1..99, INDEX
// numbers rising and their MM:SS:FF times in order within each FILE, no
// CDTEXTFILE. Otherwise why not, naming the line.
std::string checkCueText(std::string_view text);

// A file a TOC file's FILE, AUDIOFILE or DATAFILE statement names, with
// the byte range of it the statement takes when the statement gives one.
struct TocFileUse {
  std::string name;                     // as written
  std::uint64_t startBytes = 0;         // where its audio begins
  std::optional<std::uint64_t> bytes;   // how much it takes, when given
  std::size_t line = 0;
};

// "" when libcdio may parse the TOC file: no NUL byte, no line of 512 bytes
// or more, 1 to 99 TRACK statements, no track flag, ISRC or SILENCE before
// the first, file names quoted. files receives every named file.
std::string checkTocText(std::string_view text, std::vector<TocFileUse>& files);

// The NRG footer and trailer must lie within this many bytes of the end
// (libcdio reads no more).
constexpr std::size_t kNrgMaxFooterBytes = 4096;

// "" when libcdio may parse the NRG image whose last bytes are `tail` (the
// whole file when shorter than kNrgMaxFooterBytes, else its last
// kNrgMaxFooterBytes) and whose size is fileSize: a NERO or NER5 trailer
// pointing at a footer inside those bytes, chunks that each fit the footer
// up to an END! chunk, exactly one track table (CUES, CUEX, ETNF or ETN2)
// of 1 to 99 tracks whose data lies before the footer, fixed-size chunks of
// their size, and CD-Text packs whose checksums hold.
std::string checkNrgTail(std::string_view tail, std::uint64_t fileSize);

}  // namespace cdr
