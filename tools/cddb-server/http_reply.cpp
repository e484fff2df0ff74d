#include "tools/cddb-server/http_reply.h"

#include "tools/cddb-server/accuraterip_files.h"
#include "tools/cddb-server/cddb_commands.h"

namespace cddb_server {
namespace {

HttpReply plain(int status, const char* reason) {
  HttpReply reply;
  reply.status = status;
  reply.reason = reason;
  reply.contentType = "text/plain; charset=UTF-8";
  reply.body = std::to_string(status) + " " + reason + "\r\n";
  return reply;
}

bool isScriptPath(std::string_view path) {
  return path == "/~cddb/cddb.cgi" || path == "/%7Ecddb/cddb.cgi" || path == "/%7ecddb/cddb.cgi";
}

// A database file from the --accuraterip folder; 404 for any other name,
// a missing file or one that is refused.
HttpReply accurateRipReply(std::string_view method, std::string_view path, const Options& options) {
  if (method != "GET" && method != "HEAD") return plain(405, "Method Not Allowed");
  const auto name = accurateRipFileName(path);
  if (!name || options.accurateRipRoot.empty()) return plain(404, "Not Found");
  auto bytes = loadAccurateRipFile(options.accurateRipRoot, *name);
  if (!bytes) return plain(404, "Not Found");
  HttpReply reply;
  reply.contentType = "application/octet-stream";
  reply.body = std::move(*bytes);
  return reply;
}

}  // namespace

HttpReply replyFor(std::string_view method, std::string_view target, const Options& options,
                   const EntryStore& store, const ServerInfo& server) {
  // The absolute form: the path starts at the first "/" after the host.
  if (target.size() >= 7 && (target.substr(0, 7) == "http://" || target.substr(0, 7) == "HTTP://")) {
    const std::size_t slash = target.find('/', 7);
    target = slash == std::string_view::npos ? std::string_view("/") : target.substr(slash);
  }
  if (!options.redirect.empty()) {
    HttpReply reply = plain(302, "Found");
    reply.location = options.redirect;
    return reply;
  }
  const std::size_t question = target.find('?');
  const std::string_view path = target.substr(0, question);
  const std::string_view form =
      question == std::string_view::npos ? std::string_view() : target.substr(question + 1);
  if (path.substr(0, kAccurateRipPrefix.size()) == kAccurateRipPrefix) return accurateRipReply(method, path, options);
  if (!isScriptPath(path)) return plain(404, "Not Found");
  if (method != "GET" && method != "HEAD") return plain(405, "Method Not Allowed");
  if (const auto entry = readTarget(form))
    if (options.failReads.count(entry->category + "/" + entry->discId) != 0)
      return plain(500, "Internal Server Error");

  MatchOptions matching;
  matching.fuzzySeconds = options.fuzzySeconds;
  matching.scanLimit = options.scanLimit;
  matching.server = server;
  CddbReply cddb = handleCddbForm(form, store, matching);
  HttpReply reply;
  reply.contentType = cddb.utf8 ? "text/plain; charset=UTF-8" : "text/plain; charset=windows-1252";
  reply.body = std::move(cddb.text);
  return reply;
}

std::string serializeReply(const HttpReply& reply, bool http10, bool close, bool headOnly,
                           bool withLength) {
  std::string text = std::string(http10 ? "HTTP/1.0 " : "HTTP/1.1 ") + std::to_string(reply.status) +
                     " " + reply.reason + "\r\n";
  if (!reply.contentType.empty()) text += "Content-Type: " + reply.contentType + "\r\n";
  if (!reply.location.empty()) text += "Location: " + reply.location + "\r\n";
  if (withLength) text += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
  if (close) text += "Connection: close\r\n";
  text += "\r\n";
  if (!headOnly) text += reply.body;
  return text;
}

std::string logLine(std::string_view method, std::string_view target) {
  std::string line;
  line.reserve(method.size() + target.size() + 1);
  line.append(method).append(" ").append(target);
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return line;
}

}  // namespace cddb_server
