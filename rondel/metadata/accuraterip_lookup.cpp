#include "rondel/metadata/accuraterip_lookup.h"

#include <cstdlib>

#include "platform/debug_log.h"
#include "rondel/net/http_get_request.h"
#include "rondel/net/sockets.h"

namespace rondel {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kReceiveBufferSize = 16384;
constexpr int kPieceBytes = 4096;

struct Sockets {
  Sockets() { startSockets(); }
  ~Sockets() { stopSockets(); }
};

// The URL as the debug log shows it: a user name and password in it are
// left out.
std::string loggedUrl(const std::string& url) {
  const std::size_t scheme = url.find("://");
  const std::size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
  const std::size_t hostEnd = url.find_first_of("/?#", hostStart);
  const std::size_t at = url.rfind('@', hostEnd == std::string::npos ? url.size() : hostEnd);
  if (at == std::string::npos || at < hostStart) return url;
  return url.substr(0, hostStart) + "***" + url.substr(at);
}

AccurateRipResult failed(const std::string& url, const std::string& why) {
  platform::debugLog("accuraterip", "GET %s failed: %s", loggedUrl(url).c_str(), why.c_str());
  AccurateRipResult result;
  result.error = why;
  return result;
}

}  // namespace

std::string accurateRipBaseUrl() {
  const char* set = std::getenv("RONDEL_ACCURATERIP_URL");
  std::string base = set != nullptr ? set : kDefaultAccurateRipUrl;
  if (!base.empty() && base.back() != '/') base += '/';
  return base;
}

AccurateRipResult fetchDatabaseFile(HttpGetRequest& request, const std::string& url,
                                    const FetchLimits& limits,
                                    const std::function<bool()>& stopRequested,
                                    Clock::time_point deadline) {
  const Clock::time_point started = Clock::now();
  if (started >= deadline) return failed(url, "the lookup's time is up");
  const bool lookupEndsFirst = deadline - started <= limits.total;
  const Clock::time_point ends = lookupEndsFirst ? deadline : started + limits.total;
  // The body may take the whole cap; the head has a cap of its own.
  request.setReplyLimits(limits.maxHeadBytes, verify::kMaxDatabaseFileBytes + limits.maxHeadBytes);
  request.connect(url, 0);
  Clock::time_point lastByte = started;
  std::string body;
  while (!stopRequested()) {
    const int step = request.run();
    if (step < 0) {
      if (request.getReplyCode() == 404) {
        platform::debugLog("accuraterip", "GET %s: not in the database", loggedUrl(url).c_str());
        AccurateRipResult result;
        result.outcome = AccurateRipResult::Outcome::NotFound;
        return result;
      }
      return failed(url, request.getErrorText());
    }
    bool gotBytes = false;
    if (request.getStatus() == HttpGetRequest::kStatusBody) {
      char piece[kPieceBytes];
      while (request.bytesAvailable() > 0) {
        const int got = request.getBytes(piece, kPieceBytes);
        if (got <= 0) break;
        gotBytes = true;
        body.append(piece, static_cast<std::size_t>(got));
      }
      if (body.size() > verify::kMaxDatabaseFileBytes) return failed(url, "database file larger than 64 KiB");
    }
    const Clock::time_point now = Clock::now();
    if (gotBytes) lastByte = now;
    if (step == 1) {
      if (request.getStatus() != HttpGetRequest::kStatusBody) return failed(url, "the reply ended before its body");
      platform::debugLog("accuraterip", "GET %s: %zu bytes", loggedUrl(url).c_str(), body.size());
      AccurateRipResult result;
      result.outcome = AccurateRipResult::Outcome::Found;
      result.body = std::move(body);
      return result;
    }
    if (now >= ends)
      return failed(url, lookupEndsFirst ? "time-out: the lookup's deadline passed"
                                         : "time-out: the request took too long");
    if (request.connecting()) {
      if (now - started >= limits.connect) return failed(url, "time-out connecting");
    } else if (now - lastByte >= limits.silence) {
      return failed(url, "time-out: the server went silent");
    }
    if (request.wait(limits.turn) > 0) lastByte = Clock::now();
  }
  return failed(url, "stopped");
}

void accurateRipLookupThread(std::unique_ptr<AccurateRipLookupStart> start) {
  const AccurateRipLookupStart job = *start;
  start.reset();
  AccurateRipResult result;
  {
    Sockets sockets;
    HttpGetRequest request(nullptr, kReceiveBufferSize, job.proxy);
    const Clock::time_point deadline = Clock::now() + job.limits.lookup;
    result = fetchDatabaseFile(request, job.url, job.limits, job.stopRequested, deadline);
  }
  if (result.outcome == AccurateRipResult::Outcome::Found) {
    std::string problem;
    if (!verify::parseDatabaseFile(result.body, job.disc, result.responses, &problem)) {
      platform::debugLog("accuraterip", "%s refused: %s", loggedUrl(job.url).c_str(), problem.c_str());
      result = AccurateRipResult{};
      result.error = problem;
    }
  }
  if (job.stopRequested()) return;
  job.ended(std::move(result));
}

}  // namespace rondel
