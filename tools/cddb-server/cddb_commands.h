#pragma once
// The CDDB protocol as pure functions: the decoded form of a request in, the
// reply text out. No sockets, no HTTP; the HTTP layer adds those.
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cddb-server/entry_store.h"

namespace cddb_server {

// Longest form text handled; longer ones are answered as syntax errors. A
// query of 99 tracks with the longest numbers needs about 1 KiB.
constexpr std::size_t kMaxFormBytes = 8192;

// What the server tells about itself (sites, motd, stat, ver).
struct ServerInfo {
  std::string host = "127.0.0.1";            // as the client reached it
  int port = 8880;
  std::string started = "01/01/70 00:00:00";  // MM/DD/YY hh:mm:ss, the motd's date
  int maxUsers = 32;                          // the server's worker threads
};

struct MatchOptions {
  // Inexact matches: same track count, every frame offset within
  // 75 * fuzzySeconds frames and the disc length within fuzzySeconds
  // seconds. 0 turns inexact matching off.
  int fuzzySeconds = 3;
  // A tree of at most this many entries is scanned whole for inexact
  // matches (any file name). A larger one (a freedb copy) is searched only
  // among the disc ids that such a match can have: the same track count,
  // a playing time within the tolerance, any checksum byte; its cost does
  // not grow with the tree.
  std::size_t scanLimit = 10000;
  ServerInfo server;
};

// The program's version, as "ver" tells it.
extern const char kServerVersion[];

struct CddbReply {
  std::string text;   // every line ends in CR LF
  bool utf8 = false;  // level 6: UTF-8; else Windows-1252
};

// "a=b&c=d" with "+" as space and %XX escapes; the first of repeated keys
// wins. A "%" not followed by two hex digits stays as it is.
std::map<std::string, std::string> decodeForm(std::string_view form);

// Answers the form of a request to the CDDB script (keys cmd, hello,
// proto). `proto` missing means level 1; levels 1 to 6 are served, levels
// below 6 with Windows-1252 text. Commands: cddb query, cddb read, cddb
// lscat, sites, motd, ver, stat, help, discid (CDDBPROTO's replies).
CddbReply handleCddbForm(std::string_view form, const EntryStore& store,
                         const MatchOptions& options);

struct EntryName {
  std::string category;
  std::string discId;  // lower case
};

// The entry a well-formed "cddb read" form asks for; nothing for any other
// form.
std::optional<EntryName> readTarget(std::string_view form);

// The standard CDDB disc id of a layout (the "discid" command): frame
// offsets and the disc length in seconds.
unsigned long cddbDiscId(const std::vector<long>& offsets, long seconds);

// The disc ids an inexact match of this layout can have (see scanLimit):
// every checksum byte, playing times within 2 * fuzzySeconds + 1 of the
// query's, the track count.
std::vector<std::string> candidateDiscIds(const std::vector<long>& offsets, long seconds,
                                          int fuzzySeconds);
// The same, one at a time, without a list.
void forEachCandidateDiscId(const std::vector<long>& offsets, long seconds, int fuzzySeconds,
                            const std::function<void(const std::string&)>& visit);

}  // namespace cddb_server
