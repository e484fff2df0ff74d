#pragma once
// cdrdao TOC files name their audio files, and libcdio opens relative names
// against the process's working directory rather than the TOC file's
// folder. Before libcdio reads a TOC file, its relative names are made
// absolute in a private copy.
#include <string>

namespace cdr {

// text with every relative file name of a FILE, AUDIOFILE or DATAFILE
// statement that starts a line made absolute against dir. Throws
// std::runtime_error when a name cannot be rewritten safely (dir holding a
// quote or backslash, a name with escapes).
std::string absoluteTocText(const std::string& text, const std::string& dir);

}  // namespace cdr
