#include "tools/cddb-server/options.h"

#include <arpa/inet.h>

#include <filesystem>

#include "tools/cddb-server/entry_store.h"

namespace cddb_server {

const char kUsage[] =
    "usage: cddb-server --root DIR [--listen HOST:PORT] [--log FILE] [--fuzzy-seconds N]\n"
    "                   [--scan-limit N] [--head-timeout MS] [--max-connections N]\n"
    "                   [--delay MS] [--close-before-reply] [--redirect URL]\n"
    "                   [--never-close] [--slow] [--fail-read CATEG/DISCID]...\n"
    "                   [--accuraterip DIR]\n"
    "Serves the freedb-format folder DIR (category/discid files) at\n"
    "http://HOST:PORT/~cddb/cddb.cgi. HOST:PORT defaults to 127.0.0.1:8880;\n"
    "port 0 picks a free one. Prints \"listening on HOST:PORT\" when ready.\n"
    "With --accuraterip DIR also the AccurateRip database files under DIR\n"
    "(x/y/z/dBAR-....bin) at http://HOST:PORT/accuraterip/x/y/z/dBAR-....bin.\n";

namespace {

// A whole decimal number in [low, high], or -1.
long parseBounded(const std::string& text, long low, long high) {
  if (text.empty() || text.size() > 9) return -1;
  long value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high ? value : -1;
}

bool parseListen(const std::string& text, Options& options) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  std::string host = text.substr(0, colon);
  if (host == "localhost") host = "127.0.0.1";
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
  const long port = parseBounded(text.substr(colon + 1), 0, 65535);
  if (port < 0) return false;
  options.host = host;
  options.port = static_cast<int>(port);
  return true;
}

// A Location value goes into a header line: no control characters, so no
// request can be split or headers injected.
bool isHeaderSafe(const std::string& text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return !text.empty() && text.size() <= 2048;
}

bool parseFailRead(const std::string& text, Options& options) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return false;
  const std::string category = text.substr(0, slash);
  std::string discId = text.substr(slash + 1);
  if (!isValidCategory(category) || !isValidDiscId(discId)) return false;
  for (char& c : discId)
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  options.failReads.insert(category + "/" + discId);
  return true;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
  ParsedOptions parsed;
  Options& o = parsed.options;
  const auto fail = [&](const std::string& why) {
    parsed.error = why;
    return parsed;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::string value;
    bool hasValue = false;
    if (const std::size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
      hasValue = true;
    }
    const auto takeValue = [&]() -> bool {
      if (hasValue) return true;
      if (i + 1 >= args.size()) return false;
      value = args[++i];
      return true;
    };
    const bool isFlag = name == "--help" || name == "-h" || name == "--close-before-reply" ||
                        name == "--never-close" || name == "--slow";
    if (isFlag) {
      if (hasValue) return fail(name + " takes no value");
      if (name == "--help" || name == "-h") parsed.help = true;
      if (name == "--close-before-reply") o.closeBeforeReply = true;
      if (name == "--never-close") o.neverClose = true;
      if (name == "--slow") o.slow = true;
      continue;
    }
    if (name != "--root" && name != "--listen" && name != "--log" && name != "--delay" &&
        name != "--redirect" && name != "--fail-read" && name != "--fuzzy-seconds" &&
        name != "--scan-limit" && name != "--head-timeout" && name != "--max-connections" &&
        name != "--accuraterip")
      return fail("unknown option " + name);
    if (!takeValue()) return fail(name + " needs a value");
    if (name == "--root") {
      o.root = value;
    } else if (name == "--accuraterip") {
      if (value.empty()) return fail("--accuraterip needs a folder");
      o.accurateRipRoot = value;
    } else if (name == "--listen") {
      if (!parseListen(value, o)) return fail("--listen wants IPv4-ADDRESS:PORT, got " + value);
    } else if (name == "--log") {
      if (value.empty()) return fail("--log needs a file name");
      o.logFile = value;
    } else if (name == "--delay") {
      const long ms = parseBounded(value, 0, 600000);
      if (ms < 0) return fail("--delay wants milliseconds 0..600000, got " + value);
      o.delayMs = static_cast<int>(ms);
    } else if (name == "--fuzzy-seconds") {
      const long s = parseBounded(value, 0, 60);
      if (s < 0) return fail("--fuzzy-seconds wants 0..60, got " + value);
      o.fuzzySeconds = static_cast<int>(s);
    } else if (name == "--scan-limit") {
      const long n = parseBounded(value, 0, 100000000);
      if (n < 0) return fail("--scan-limit wants 0..100000000 entries, got " + value);
      o.scanLimit = static_cast<std::size_t>(n);
    } else if (name == "--head-timeout") {
      const long ms = parseBounded(value, 100, 600000);
      if (ms < 0) return fail("--head-timeout wants milliseconds 100..600000, got " + value);
      o.headTimeoutMs = static_cast<int>(ms);
    } else if (name == "--max-connections") {
      const long n = parseBounded(value, 1, 1000000);
      if (n < 0) return fail("--max-connections wants 1..1000000, got " + value);
      o.maxConnections = static_cast<std::size_t>(n);
    } else if (name == "--redirect") {
      if (!isHeaderSafe(value)) return fail("--redirect wants a URL without control characters");
      o.redirect = value;
    } else if (name == "--fail-read") {
      if (!parseFailRead(value, o)) return fail("--fail-read wants CATEGORY/DISCID, got " + value);
    }
  }
  if (parsed.help) return parsed;
  if (o.root.empty()) return fail("--root DIR is required");
  std::error_code ec;
  if (!std::filesystem::is_directory(o.root, ec)) return fail("--root " + o.root + " is not a folder");
  if (!o.accurateRipRoot.empty() && !std::filesystem::is_directory(o.accurateRipRoot, ec))
    return fail("--accuraterip " + o.accurateRipRoot + " is not a folder");
  return parsed;
}

}  // namespace cddb_server
