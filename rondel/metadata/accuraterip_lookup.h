#pragma once
// The AccurateRip lookup of one disc, on its own thread beside the freedb
// lookup: fetches the disc's database file with the component's HTTP
// client (the same proxy and authorisation settings, byte caps, deadline
// and debug log) and reads it strictly.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rondel/metadata/lookup_thread.h"
#include "sdk/verify/accuraterip.h"

namespace rondel {

class HttpGetRequest;

// The public database; RONDEL_ACCURATERIP_URL names another base URL, and
// an empty value switches the lookup off.
constexpr const char* kDefaultAccurateRipUrl = "http://www.accuraterip.com/accuraterip/";

// The base URL to fetch from, "" when the lookup is off. Ends in "/".
std::string accurateRipBaseUrl();

struct AccurateRipResult {
  enum class Outcome { Found, NotFound, Failed };
  Outcome outcome = Outcome::Failed;
  std::string body;                         // the validated file (Found)
  std::vector<verify::Response> responses;  // its responses (Found)
  std::string error;                        // why (Failed)
};

// The block a window hands to a new AccurateRip lookup thread.
struct AccurateRipLookupStart {
  std::string url;  // base + the disc's database path
  verify::DiscIds disc;
  std::string proxy;  // "[user:pass@]host[:port]" or "" for none
  FetchLimits limits;
  // Checked at every turn of the wait; true ends the lookup without a word.
  std::function<bool()> stopRequested;
  // The outcome, once, on the lookup thread (not after a stop).
  std::function<void(AccurateRipResult)> ended;
};

// A GET of a binary body of at most verify::kMaxDatabaseFileBytes: the
// outcome and, when it is Found, the raw body (not yet parsed). A 404 reply
// is NotFound; any other failure (the caps, the deadline, a bad reply, a
// stop) is Failed with its reason. One debug-log line per request.
AccurateRipResult fetchDatabaseFile(HttpGetRequest& request, const std::string& url,
                                    const FetchLimits& limits,
                                    const std::function<bool()>& stopRequested,
                                    std::chrono::steady_clock::time_point deadline);

// The thread's body.
void accurateRipLookupThread(std::unique_ptr<AccurateRipLookupStart> start);

}  // namespace rondel
