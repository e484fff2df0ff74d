#include "rondel/metadata/lookup_thread.h"

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/debug_log.h"
#include "rondel/metadata/disc_id.h"
#include "rondel/metadata/lookup_urls.h"
#include "rondel/metadata/query_reply.h"
#include "rondel/net/http_get_request.h"
#include "rondel/net/url.h"

namespace rondel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReceiveBufferSize = 16384;
constexpr int kPieceBytes = 4096;
constexpr long kMaxLimitMs = 600000;

// Pairs the socket library's start and stop on every way out.
struct Sockets {
  Sockets() { startSockets(); }
  ~Sockets() { stopSockets(); }
};

// Takes the body bytes that are ready. Each piece counts up to its first
// NUL byte, as the entry is text; the request counts every byte received
// against the caps (setReplyLimits), NULs included.
void takeBody(HttpGetRequest& request, std::string& body, bool& gotBytes) {
  char piece[kPieceBytes];
  while (request.bytesAvailable() > 0) {
    const int got = request.getBytes(piece, kPieceBytes);
    if (got <= 0) break;
    gotBytes = true;
    body.append(piece, strnlen(piece, static_cast<std::size_t>(got)));
  }
}

// The URL as the debug log shows it: user name and password, should the
// server setting carry them, are left out.
std::string loggedUrl(const std::string& url) {
  const std::size_t hostStart = url.find("://") == std::string::npos ? 0 : url.find("://") + 3;
  const std::size_t hostEnd = url.find_first_of("/?#", hostStart);
  const std::size_t at = url.rfind('@', hostEnd == std::string::npos ? url.size() : hostEnd);
  if (at == std::string::npos || at < hostStart) return url;
  return url.substr(0, hostStart) + "***" + url.substr(at);
}

}  // namespace

FetchLimits FetchLimits::fromEnvironment() {
  FetchLimits limits;
  const char* text = std::getenv("RONDEL_LOOKUP_TIMEOUTS");
  if (text == nullptr) return limits;
  std::istringstream in(text);
  long values[4] = {0, 0, 0, limits.lookup.count()};
  char comma = 0;
  if (!(in >> values[0] >> comma) || comma != ',' || !(in >> values[1] >> comma) ||
      comma != ',' || !(in >> values[2]))
    return limits;
  // An optional fourth number: the whole lookup's deadline.
  if (in >> comma && (comma != ',' || !(in >> values[3]))) return limits;
  if (!in.eof() && !(in >> std::ws).eof()) return limits;
  for (long v : values)
    if (v < 1 || v > kMaxLimitMs) return limits;
  limits.connect = std::chrono::milliseconds(values[0]);
  limits.silence = std::chrono::milliseconds(values[1]);
  limits.total = std::chrono::milliseconds(values[2]);
  limits.lookup = std::chrono::milliseconds(values[3]);
  return limits;
}

std::string fetchText(HttpGetRequest& request, const std::string& url, const FetchLimits& limits,
                      const std::function<bool()>& stopRequested, Clock::time_point deadline,
                      std::string* failure) {
  if (failure != nullptr) failure->clear();
  // Every way out names its outcome in the debug log.
  const auto failed = [&url, failure](const char* why, long long ms = -1) {
    if (failure != nullptr) *failure = why;
    if (!platform::debugLogEnabled()) return std::string();
    if (ms >= 0)
      platform::debugLog("lookup", "GET %s failed: %s (%lld ms)", loggedUrl(url).c_str(), why, ms);
    else
      platform::debugLog("lookup", "GET %s failed: %s", loggedUrl(url).c_str(), why);
    return std::string();
  };
  const Clock::time_point started = Clock::now();
  if (started >= deadline) return failed("the lookup's time is up");
  // The request's own bound and the lookup's, whichever comes first.
  const bool lookupEndsFirst = deadline - started <= limits.total;
  const Clock::time_point ends = lookupEndsFirst ? deadline : started + limits.total;
  request.setReplyLimits(limits.maxHeadBytes, limits.maxBytes);
  request.connect(url, 0);
  Clock::time_point lastByte = started;  // last sign of life from the server
  std::string body;
  while (!stopRequested()) {
    const int step = request.run();
    // The request's own text: a cap, a bad reply, an HTTP error status
    // (its status line), a connect or name failure.
    if (step < 0) return failed(request.getErrorText().c_str());
    bool gotBytes = false;
    if (request.getStatus() > 0) takeBody(request, body, gotBytes);
    const Clock::time_point now = Clock::now();
    if (gotBytes) lastByte = now;
    if (step == 1) {
      // Ended: the body is complete only if a 200/206 reply got that far.
      if (request.getStatus() != HttpGetRequest::kStatusBody)
        return failed("the reply ended before its body");
      if (platform::debugLogEnabled())
        platform::debugLog("lookup", "GET %s: %zu bytes", loggedUrl(url).c_str(), body.size());
      return body;
    }
    if (now >= ends)
      return lookupEndsFirst ? failed("time-out: the lookup's deadline passed")
                             : failed("time-out: the request took too long", limits.total.count());
    if (request.connecting()) {
      if (now - started >= limits.connect)
        return failed("time-out connecting", limits.connect.count());
    } else if (now - lastByte >= limits.silence) {
      return failed("time-out: the server went silent", limits.silence.count());
    }
    // Anything the socket delivers counts against the silence bound, the
    // status line and headers too.
    if (request.wait(limits.turn) > 0) lastByte = Clock::now();
  }
  return failed("stopped");
}

void lookupThread(std::unique_ptr<LookupStart> start) {
  // The block is this thread's from here on; keep a copy and let it go.
  const LookupStart job = *start;
  start.reset();
  LookupOwner& owner = *job.owner;
  const std::uint64_t generation = job.generation;
  const auto stopRequested = [&] { return owner.lookupStopRequested(generation); };

  const LookupSettings& settings = job.settings;
  const std::string proxy = settings.useProxy ? settings.proxyServer : std::string();
  Sockets sockets;
  {
    HttpGetRequest request(nullptr, kReceiveBufferSize, proxy);
    const std::string server = serverAddress(settings.freedbServer);
    const Hello hello = makeHello(settings.email);
    const std::string queryUrl = buildQueryUrl(server, job.toc, hello);
    owner.lookupQuerying(generation, discIdText(computeDiscId(job.toc)), fetchableUrl(queryUrl));

    // One deadline for the whole lookup: past it no request is started and
    // the one under way ends; the entries offered so far stay.
    const Clock::time_point deadline = Clock::now() + job.limits.lookup;
    std::string failure;
    const std::string reply =
        fetchText(request, queryUrl, job.limits, stopRequested, deadline, &failure);
    int firstId = -1;
    for (const LookupMatch& match : parseQueryMatches(reply)) {
      if (stopRequested() || Clock::now() >= deadline) break;
      std::string entryText = fetchText(
          request, buildReadUrl(server, match.category, match.discId, hello), job.limits,
          stopRequested, deadline, &failure);
      // Only the entry that was asked for: its first line names the category
      // and disc id, and it reads as an xmcd entry.
      if (!isEntryReply(entryText, match.category, match.discId)) continue;
      FreedbEntry entry{match.discId, match.category, match.title, std::move(entryText), job.toc};
      const int id = owner.offerEntry(generation, match.title + " [" + match.category + "]",
                                      std::move(entry));
      if (id < 0) break;
      if (firstId < 0) firstId = id;
    }
    // This lookup's own first item: items of an earlier lookup may have
    // taken id 0 after the window emptied the drop-down.
    if (firstId >= 0) owner.chooseEntry(generation, firstId);
    // Nothing offered, and the last request failed: the database may well
    // hold the disc, so the user hears why, not only "No freedb entries".
    else if (!failure.empty() && !stopRequested())
      owner.lookupFailed(generation, failure);
  }
  owner.lookupEnded(generation);
}

}  // namespace rondel
