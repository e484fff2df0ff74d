#pragma once
// The command line of cddb-server.
#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace cddb_server {

struct Options {
  std::string root;                      // --root DIR (required)
  std::string accurateRipRoot;           // --accuraterip DIR; empty: no database files
  std::string host = "127.0.0.1";        // --listen HOST:PORT
  int port = 8880;                       // 0: the system picks a free port
  std::string logFile;                   // --log FILE; empty: stdout
  int fuzzySeconds = 3;                  // --fuzzy-seconds N (0..60)
  std::size_t scanLimit = 10000;         // --scan-limit N: whole-tree inexact scan up to N entries
  int headTimeoutMs = 10000;             // --head-timeout MS: for a whole request head
  std::size_t maxConnections = 0;        // --max-connections N; 0: from the descriptor limit
  // Fault modes for tests.
  int delayMs = 0;                       // --delay MS before each reply
  bool closeBeforeReply = false;         // --close-before-reply
  std::string redirect;                  // --redirect URL: every reply a 302
  bool neverClose = false;               // --never-close
  bool slow = false;                     // --slow: one byte a second
  std::set<std::string> failReads;       // --fail-read CATEG/DISCID (lower-case id)

  // Fault modes that need the socket itself rather than an HTTP reply.
  bool rawSocketMode() const { return closeBeforeReply || neverClose || slow; }
};

struct ParsedOptions {
  Options options;
  bool help = false;
  std::string error;  // empty when the command line was good
};

ParsedOptions parseOptions(const std::vector<std::string>& args);

extern const char kUsage[];

}  // namespace cddb_server
