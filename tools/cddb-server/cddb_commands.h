#pragma once
// The CDDB protocol as pure functions: the decoded form of a request in, the
// reply text out. No sockets, no HTTP; the HTTP layer adds those.
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "tools/cddb-server/entry_store.h"

namespace cddb_server {

// Longest form text handled; longer ones are answered as syntax errors. A
// query of 99 tracks with the longest numbers needs about 1 KiB.
constexpr std::size_t kMaxFormBytes = 8192;

struct MatchOptions {
  // Inexact matches: same track count, every frame offset within
  // 75 * fuzzySeconds frames and the disc length within fuzzySeconds
  // seconds. 0 turns inexact matching off.
  int fuzzySeconds = 3;
};

struct CddbReply {
  std::string text;   // every line ends in CR LF
  bool utf8 = false;  // level 6: UTF-8; else Windows-1252
};

// "a=b&c=d" with "+" as space and %XX escapes; the first of repeated keys
// wins. A "%" not followed by two hex digits stays as it is.
std::map<std::string, std::string> decodeForm(std::string_view form);

// Answers the form of a request to the CDDB script (keys cmd, hello,
// proto). `proto` missing means level 1; levels 1 to 6 are served, levels
// below 6 with Windows-1252 text.
CddbReply handleCddbForm(std::string_view form, const EntryStore& store,
                         const MatchOptions& options);

struct EntryName {
  std::string category;
  std::string discId;  // lower case
};

// The entry a well-formed "cddb read" form asks for; nothing for any other
// form.
std::optional<EntryName> readTarget(std::string_view form);

}  // namespace cddb_server
